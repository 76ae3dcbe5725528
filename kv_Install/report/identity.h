// The facts both install reports send about this installation and machine.
// Built once per run, before any window exists.
#pragma once

#include <cstdint>
#include <string>

struct ReportIdentity {
  char updateHost[512] = {};     // update/updatehost of .\config.ini
  char contextPath[512] = {};    // arp/context_path of .\config.ini, plus "/" when not empty
  int32_t clientType = 4;
  char deviceIp[32] = {};        // dotted IPv4 of the first connected adapter
  char clientIdentity[32] = {};  // its hardware address, 12 uppercase hex digits

  // Reads .\config.ini and looks up the machine address.
  void Load();

  // The HTTP setup report ("loggingSetup"), with one retry on failure.
  // What became of it, for the setup log: "sent to host", or "not sent"
  // and why.
  std::string SendLoggingSetup(int userNumber, const char* downloadSource) const;
};
