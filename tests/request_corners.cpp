#include "request_corners.hpp"

const std::vector<request_corner>& requestCorners() {
    static const std::vector<request_corner> corners = {
        {"a good file: names bare and in C's form, one requested twice",
         "name,param,width,height,flag\n"
         "faro,1,2,0,0\n"
         "\"\"\"\\xc3\\xb1\" \"and\"\"\",-128,65535,480,255\n"
         "faro,1,2,0,0\n"},
        {"a byte-order mark, CRLF line ends, the columns in another order and one more",
         "\xEF\xBB\xBF"
         "time,flag,height,width,param,name\r\n"
         "12:00,0,0,2,1,faro\r\n"
         "\r\n"
         "12:01,1,5,6,-1,\"a, b\"\r\n"},
        {"a refused file: param 300 on line 3",
         "name,param,width,height,flag\n"
         "faro,1,2,0,0\n"
         "faro,300,2,0,0\n"},
        {"a row just under 64 KiB, its ignored column 65400 bytes long",
         "name,param,width,height,flag,note\nfaro,1,2,0,0," + std::string(65400, 'x') + "\n"},
    };
    return corners;
}
