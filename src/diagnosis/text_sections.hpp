// The sections of the diagnosis's text, a unit each: the answer (text_answer),
// the replay (text_replay), the sweep's (text_sweep), the reach, the keysets and
// the verdicts (text_candidates).
#pragma once

#include "answer.hpp"
#include "compare.hpp"
#include "text_format.hpp"

#include <string>

// The answer: each candidate's cost on the stream replayed and its verdict, where
// the loss lies, who gets it back; and --check's outcome, where given.
void printAnswer(const compared_candidates& compared, const cache_answer& answer,
                 const check_outcome* check);
// Where the loss lies, and which candidate gets the most of it back (none where
// the cache key is the only candidate), a sentence each.
struct answer_sentences {
    std::string loss;
    std::string recovery;
};
answer_sentences answerSentences(const compared_candidates& compared, const cache_answer& answer);

// What the owner's file held beyond the catalogue, a line each.
void printNotes(const request_notes& notes);

// The cache key's fields over the sweep, its spread against random key
// functions and its causes.
void printSweepSection(const key_diagnosis& diagnosis, const reach_table& reach);

// The causes' line of the sweep, as printCauses writes it.
text_buffer causesText(const key_diagnosis& diagnosis, const reach_table& reach);

// Every candidate's reach; its figures over the keysets; the tables of candidates
// with their verdicts and each failing one's reasons.
void printReachSection(const compared_candidates& compared);
void printKeysetsSection(const compared_candidates& compared);
void printVerdictsSection(const compared_candidates& compared);

// Why the cache key crowds the stream replayed: its fields over the stream's
// distinct descriptors, the values that crowd, and the causes' line.
void printTrafficSection(const compared_candidates& compared);
text_buffer trafficCausesText(const traffic_figures& traffic, const replay_baselines& replay);

// The replay: each candidate's hits beside a random key function's, LRU's and
// the limit's, and where the loss lies.
void printReplaySection(const compared_candidates& compared);
