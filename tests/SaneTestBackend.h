// Points SANE at the project's configuration (tests/data/sane, which lists only the `test`
// backend) and tells why a scan test cannot run here, or "" when it can.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Scanner.h"

inline std::string UseSaneTestBackend() {
  setenv("SANE_CONFIG_DIR", QUILLON_TEST_DATA "/sane", 1);
  std::vector<ScannerDevice> devices;
  std::string error;
  if (!ScannerListDevices(&devices, &error)) return "SANE: " + error;
  for (const ScannerDevice& d : devices)
    if (d.name == "test:0") return "";
  return "SANE's test backend is not installed";
}
