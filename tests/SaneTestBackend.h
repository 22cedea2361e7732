// Points SANE at the project's configuration (tests/data/sane, which lists only the `test`
// backend) and tells why a scan test cannot run here, or "" when it can.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Scanner.h"

// SANE's test backend cancels its reader thread at a scan's end, now and then before the thread
// frees its buffer, and SANE unloads the backend at its exit: the leak checker then reports
// 64 KiB from an unknown module, which no suppression can name. Kept loaded, the backend names
// itself (tests/lsan.supp).
inline void KeepSaneTestBackendLoaded() {
  void* sane = dlopen("libsane.so.1", RTLD_NOW | RTLD_NOLOAD);
  char folder[PATH_MAX] = {};
  if (!sane || dlinfo(sane, RTLD_DI_ORIGIN, folder) != 0) return;
  dlopen((std::string(folder) + "/sane/libsane-test.so.1").c_str(), RTLD_NOW | RTLD_NODELETE);
}

inline std::string UseSaneTestBackend() {
  setenv("SANE_CONFIG_DIR", QUILLON_TEST_DATA "/sane", 1);
  std::vector<ScannerDevice> devices;
  std::string error;
  if (!ScannerListDevices(&devices, &error)) return "SANE: " + error;
  KeepSaneTestBackendLoaded();
  for (const ScannerDevice& d : devices)
    if (d.name == "test:0") return "";
  return "SANE's test backend is not installed";
}
