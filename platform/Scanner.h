// The scanner over SANE, in the shape of the scanner library the program calls:
// choosing a source (TWAIN_SelectScanner), scanning a page on a worker thread
// (TWAIN_ScanImage), and handing over the scanned page by its number (GetScanedDib).
//
// All SANE sessions are serialised: one scan at a time, and the source list is not
// read while a scan runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/RasterImage.h"

struct ScannerDevice {
  std::string name;         // SANE device name, e.g. "test:0"
  std::string description;  // vendor, model and type, for the choice
};

// Lists the devices SANE finds. Returns false with `error` when the list could not be
// read (SANE did not start, or a scan is running).
bool ScannerListDevices(std::vector<ScannerDevice>* devices, std::string* error);

// Scans one page from `deviceName` (empty: the first device found) in the calling thread.
// Asks for grey at 300 dpi where the device offers it. Grey pages arrive at 8 bits with a
// grey palette (1 bit with a white/black palette for line art), colour pages at 24 bits.
// On failure `out->pixels` is null and DIBErrorText(*out) says why.
void ScannerAcquire(const std::string& deviceName, RasterImage* out);

// Hands over the page scanned under `scanId` and forgets it. A number without a page
// (unknown, already collected, or a failed scan) gives a null `pixels` with the reason
// in the error text.
void GetScanedDib(RasterImage* out, int32_t scanId);

class ScannerLink {
 public:
  ScannerLink() = default;
  ~ScannerLink();  // waits for a running scan
  ScannerLink(const ScannerLink&) = delete;
  ScannerLink& operator=(const ScannerLink&) = delete;

  // Lets the user choose the source: `choose` gets one line per device and returns the
  // index chosen or -1. Returns false with `error` when no device list could be read or
  // there is no device; a cancelled choice keeps the source and returns true.
  bool TWAIN_SelectScanner(const std::function<int32_t(const std::vector<std::string>&)>& choose,
                           std::string* error);
  // Starts the scan of one page on a worker thread. When it is done (also when it failed)
  // the page waits under a new number and `done(number)` runs on the worker thread.
  // Returns false with `error` when a scan is already running.
  bool TWAIN_ScanImage(std::function<void(int32_t)> done, std::string* error);
  void WaitForScan();  // returns once no scan of this link runs
  bool Scanning() const { return busy_; }

  std::string source;  // chosen device name; empty: the first device found

 private:
  std::thread worker_;
  std::atomic<bool> busy_{false};
};
