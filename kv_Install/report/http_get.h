// One HTTP GET over WinINet, as the setup report makes it.
#pragma once

#include <windows.h>

#include <cstdint>

// Error codes of HttpGet besides an HTTP status of 400 or more.
constexpr int kHttpErrorNoResponse = 1520;  // opening the URL gave no response
constexpr int kHttpErrorWinInet = 1521;     // WinINet failed while reading the response
constexpr int kHttpErrorTooLong = 1522;     // the answer went on past kHttpMaxAnswerBytes
constexpr int kHttpErrorTimedOut = 1523;    // the answer had not ended within the attempt's time

// An update host that trickles its answer, or never ends it, must not hold
// the install: one attempt gets this long in all, connecting included, and
// reads at most this much of the body (nothing of it is kept).
constexpr DWORD kHttpAttemptMs = 20000;
constexpr uint32_t kHttpMaxAnswerBytes = 64 * 1024;

// GETs url (agent "Microsoft Internet Explorer", never from or into the
// cache, 8 s time-outs, 2 connect retries) and reads the body, counting its
// bytes into bodyLength. True when a status below 400 was read to the end
// within attemptMs; otherwise false with errorCode saying why. The request
// runs on a thread of its own so that the caller can give it up: when the
// time is over its WinINet handles are closed, which ends what blocks on
// them.
bool HttpGet(const char* url, int& errorCode, uint32_t& bodyLength, DWORD attemptMs = kHttpAttemptMs);
