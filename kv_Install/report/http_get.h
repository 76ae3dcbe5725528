// One HTTP GET over WinINet, as the setup report makes it.
#pragma once

#include <string>

// Error codes of HttpGet besides an HTTP status of 400 or more.
constexpr int kHttpErrorNoResponse = 1520;  // opening the URL gave no response
constexpr int kHttpErrorWinInet = 1521;     // WinINet failed while reading the response

// GETs url (agent "Microsoft Internet Explorer", never from or into the
// cache, 8 s time-outs, 2 connect retries) and reads the whole body into
// response as text. True when a status below 400 was read to the end;
// otherwise false with errorCode saying why.
bool HttpGet(const char* url, int& errorCode, std::string& response);
