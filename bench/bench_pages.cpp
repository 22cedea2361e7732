// bench_pages: the automatic run on every page of a directory of cases with ground truth.
// For each case NAME.txt with its picture NAME.(png|jpg|tif|bmp|...) it runs
// `quillon PICTURE OUTPUT` as a child process and prints the character error rate
// (edit distance over the reference length), the word error rate, wall time, CPU time and
// peak memory, then the totals and the most frequent confusions. Texts are compared after
// composing umlauts and accents (NFC for Latin text) and collapsing every run of white
// space into one blank, so line breaks and paragraph gaps do not count.
//
//   bench_pages [CASES_DIR] [--quillon=PATH] [--keep=DIR] [--quillon-arg=ARG]...
//   (--quillon-arg passes ARG to every run before the picture, e.g. --recogniser=extended)
//   (CASES_DIR also from $BENCH_CASES; the program also from $QUILLON)
//   bench_pages --real [REAL_DIR] [--quillon=PATH]
//   (scanned pages with their text, one printed line a line: for each, the lines the
//   extended recogniser found and the characters out, spaces aside, against the truth's,
//   and the CER of both recognisers; nothing to do when the folder is absent)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchFiles.h"
#include "core/Cp1252.h"

namespace fs = std::filesystem;

namespace {

using bench::ReadFile;

using Text = std::u32string;

// Base letter + combining mark -> the precomposed Latin-1 letter.
char32_t Compose(char32_t base, char32_t mark) {
  static const struct {
    char32_t mark;
    const char* bases;
    const char32_t* results;
  } kTable[] = {
      {0x0308, "aouAOUeiEIy", U"äöüÄÖÜëïËÏÿ"},
      {0x0301, "aeiouAEIOUy", U"áéíóúÁÉÍÓÚý"},
      {0x0300, "aeiouAEIOU", U"àèìòùÀÈÌÒÙ"},
      {0x0302, "aeiouAEIOU", U"âêîôûÂÊÎÔÛ"},
      {0x0303, "anoANO", U"ãñõÃÑÕ"},
      {0x0327, "cC", U"çÇ"},
      {0x030A, "aA", U"åÅ"},
  };
  for (const auto& entry : kTable) {
    if (entry.mark != mark) continue;
    for (size_t i = 0; entry.bases[i]; ++i)
      if (char32_t(entry.bases[i]) == base) return entry.results[i];
  }
  return 0;
}

bool IsSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
         c == 0x2007 || c == 0x202F || c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

Text Normalise(const std::string& utf8) {
  Text out;
  size_t pos = 0;
  bool pendingSpace = false;
  while (pos < utf8.size()) {
    const char32_t c = Utf8Next(utf8, &pos);
    if (IsSpace(c)) {
      pendingSpace = !out.empty();
      continue;
    }
    if (c >= 0x0300 && c <= 0x036F && !out.empty() && !pendingSpace) {
      if (const char32_t composed = Compose(out.back(), c)) {
        out.back() = composed;
        continue;
      }
    }
    if (pendingSpace) out.push_back(' ');
    pendingSpace = false;
    out.push_back(c);
  }
  return out;
}

std::vector<Text> Words(const Text& text) {
  std::vector<Text> words;
  Text word;
  for (char32_t c : text) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

template <class Seq>
size_t EditDistance(const Seq& a, const Seq& b) {
  std::vector<size_t> row(b.size() + 1), next(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    next[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      next[j] =
          std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    std::swap(row, next);
  }
  return row[b.size()];
}

std::string Utf8(char32_t c) {
  std::string s;
  if (c == ' ') return "␣";
  AppendUtf8(c, &s);
  return s;
}

// Counts the edits of one optimal alignment of reference and output as "ref→out".
void CountConfusions(const Text& ref, const Text& out, std::map<std::string, int>* counts) {
  const size_t n = ref.size(), m = out.size();
  if (n * m > 60'000'000) return;  // too big to trace; the distance is still reported
  std::vector<uint32_t> d((n + 1) * (m + 1));
  const auto at = [&](size_t i, size_t j) -> uint32_t& { return d[i * (m + 1) + j]; };
  for (size_t i = 0; i <= n; ++i) at(i, 0) = uint32_t(i);
  for (size_t j = 0; j <= m; ++j) at(0, j) = uint32_t(j);
  for (size_t i = 1; i <= n; ++i)
    for (size_t j = 1; j <= m; ++j)
      at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1,
                           at(i - 1, j - 1) + (ref[i - 1] == out[j - 1] ? 0u : 1u)});
  size_t i = n, j = m;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && at(i, j) == at(i - 1, j - 1) + (ref[i - 1] == out[j - 1] ? 0u : 1u)) {
      if (ref[i - 1] != out[j - 1]) ++(*counts)[Utf8(ref[i - 1]) + "→" + Utf8(out[j - 1])];
      --i, --j;
    } else if (i > 0 && at(i, j) == at(i - 1, j) + 1) {
      ++(*counts)[Utf8(ref[i - 1]) + "→∅"];
      --i;
    } else {
      ++(*counts)[std::string("∅→") + Utf8(out[j - 1])];
      --j;
    }
  }
}

struct RunResult {
  bool started = false;
  int status = -1;
  double wallSeconds = 0, cpuSeconds = 0;
  long maxRssKb = 0;
  std::string errors;
};

RunResult RunQuillon(const std::string& program, const std::vector<std::string>& extraArgs,
                     const std::string& picture, const std::string& output,
                     const std::string& errorFile) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : extraArgs) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(const_cast<char*>(picture.c_str()));
  argv.push_back(const_cast<char*>(output.c_str()));
  argv.push_back(nullptr);
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) dup2(null, 0), dup2(null, 1);
    execv(program.c_str(), argv.data());
    std::perror(program.c_str());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) < 0) return result;
  const auto end = std::chrono::steady_clock::now();
  result.started = true;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.wallSeconds = std::chrono::duration<double>(end - start).count();
  result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  result.maxRssKb = usage.ru_maxrss;
  result.errors = ReadFile(errorFile);
  return result;
}

fs::path FindPicture(const fs::path& dir, const std::string& stem) {
  static const char* kExtensions[] = {".png", ".jpg", ".jpeg", ".tif", ".tiff", ".bmp",
                                      ".pnm", ".pbm", ".pgm",  ".ppm", ".gif",  ".webp"};
  for (const char* ext : kExtensions) {
    const fs::path p = dir / (stem + ext);
    if (fs::exists(p)) return p;
  }
  return {};
}

// Printed lines of a text (lines holding anything but white space).
size_t LineCount(const std::string& text) {
  size_t count = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find_first_not_of(" \t\r\f") != std::string::npos) ++count;
  return count;
}

size_t CharsBesidesSpaces(const Text& text) {
  return size_t(std::count_if(text.begin(), text.end(), [](char32_t c) { return !IsSpace(c); }));
}

// "Text lines found: N" of the extended recogniser's log; -1 without one.
long LinesFound(const std::string& log) {
  const std::string key = "Text lines found: ";
  const size_t at = log.rfind(key);
  return at == std::string::npos ? -1 : std::atol(log.c_str() + at + key.size());
}

// The page's language as a user names it, from its name's prefix ("fr_..." -> "fra"), as
// the real pages are named; empty for the default.
std::string LanguageOf(const std::string& name) {
  static const std::pair<const char*, const char*> kCodes[] = {
      {"de_", "deu"}, {"en_", "eng"}, {"fr_", "fra"}, {"it_", "ita"},
      {"es_", "spa"}, {"pt_", "por"}, {"nl_", "nld"}, {"da_", "dan"},
      {"sv_", "swe"}, {"nb_", "nob"}, {"ca_", "cat"}};
  for (const auto& [prefix, code] : kCodes)
    if (name.rfind(prefix, 0) == 0) return code;
  return {};
}

// The real pages: lines and characters handed on, and the CER of both recognisers (the
// extended one told the page's language).
int RealPages(const std::string& program, const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    std::printf("no real pages at %s: nothing measured\n", dir.c_str());
    return 0;
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".txt" && !FindPicture(dir, entry.path().stem()).empty())
      names.push_back(entry.path().stem());
  std::sort(names.begin(), names.end());
  const fs::path work = fs::temp_directory_path() / ("bench_real." + std::to_string(getpid()));
  fs::create_directories(work);
  std::printf("program %s\nreal pages %s\n\n", program.c_str(), dir.c_str());
  std::printf("%-24s %12s %14s %10s %10s %8s\n", "page", "lines found", "chars out", "CER ext %",
              "CER cls %", "ext s");
  int failures = 0;
  for (const std::string& name : names) {
    const std::string picture = FindPicture(dir, name).string();
    const std::string truthText = ReadFile(fs::path(dir) / (name + ".txt"));
    const Text ref = Normalise(truthText);
    const fs::path extended = work / (name + ".ext.txt"), classic = work / (name + ".cls.txt");
    std::vector<std::string> options = {"--recogniser=extended", "--log"};
    const std::string language = LanguageOf(name);
    if (!language.empty()) options.push_back("--language=" + language);
    const RunResult ext = RunQuillon(program, options, picture, extended.string(),
                                     (work / (name + ".ext.err")).string());
    const RunResult cls =
        RunQuillon(program, {}, picture, classic.string(), (work / (name + ".cls.err")).string());
    if (!ext.started || ext.status != 0 || !cls.started || cls.status != 0) ++failures;
    const Text outExt = Normalise(ReadFile(extended)), outCls = Normalise(ReadFile(classic));
    const auto cer = [&ref](const Text& out) {
      return ref.empty() ? 0.0 : 100.0 * double(EditDistance(ref, out)) / double(ref.size());
    };
    const std::string lines =
        std::to_string(LinesFound(ext.errors)) + "/" + std::to_string(LineCount(truthText));
    const std::string chars =
        std::to_string(CharsBesidesSpaces(outExt)) + "/" + std::to_string(CharsBesidesSpaces(ref));
    std::printf("%-24s %12s %14s %10.2f %10.2f %8.3f\n", name.c_str(), lines.c_str(), chars.c_str(),
                cer(outExt), cer(outCls), ext.wallSeconds);
  }
  fs::remove_all(work, ec);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string casesDir = getenv("BENCH_CASES") ? getenv("BENCH_CASES") : QUILLON_BENCH_CASES;
  std::string program = getenv("QUILLON") ? getenv("QUILLON") : QUILLON_PROGRAM;
  std::string keepDir, realDir;
  bool real = false;
  std::vector<std::string> extraArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--real") {
      real = true;
    } else if (arg.rfind("--quillon=", 0) == 0) {
      program = arg.substr(10);
    } else if (arg.rfind("--quillon-arg=", 0) == 0) {
      extraArgs.push_back(arg.substr(14));
    } else if (arg.rfind("--keep=", 0) == 0) {
      keepDir = arg.substr(7);
    } else if (arg == "--help") {
      std::cout << "usage: bench_pages [CASES_DIR] [--quillon=PATH] [--keep=DIR]"
                   " [--quillon-arg=ARG]...\n"
                   "       bench_pages --real [REAL_DIR] [--quillon=PATH]\n";
      return 0;
    } else {
      (real ? realDir : casesDir) = arg;
    }
  }
  if (real) return RealPages(program, realDir.empty() ? QUILLON_REAL_PAGES : realDir);
  std::error_code ec;
  if (!fs::is_directory(casesDir, ec)) {
    std::cerr << "bench_pages: no cases directory " << casesDir << "\n";
    return 1;
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(casesDir))
    if (entry.path().extension() == ".txt" && !FindPicture(casesDir, entry.path().stem()).empty())
      names.push_back(entry.path().stem());
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    std::cerr << "bench_pages: no cases (NAME.txt with a picture) in " << casesDir << "\n";
    return 1;
  }
  const fs::path work =
      keepDir.empty() ? fs::temp_directory_path() / ("bench_pages." + std::to_string(getpid()))
                      : fs::path(keepDir);
  fs::create_directories(work);

  std::string shownArgs;
  for (const std::string& arg : extraArgs) shownArgs += " " + arg;
  std::printf("program %s%s\ncases   %s\n\n", program.c_str(), shownArgs.c_str(), casesDir.c_str());
  std::printf("%-18s %6s %8s %8s %8s %8s %8s  %s\n", "case", "chars", "CER %", "WER %", "wall s",
              "cpu s", "peak MB", "status");
  size_t totalChars = 0, totalCharErrors = 0, totalWords = 0, totalWordErrors = 0;
  double totalWall = 0, totalCpu = 0;
  long peakKb = 0;
  int failures = 0;
  std::map<std::string, int> confusions;
  for (const std::string& name : names) {
    const fs::path picture = FindPicture(casesDir, name);
    const fs::path output = work / (name + ".out.txt");
    fs::remove(output, ec);
    const RunResult run = RunQuillon(program, extraArgs, picture.string(), output.string(),
                                     (work / (name + ".err")).string());
    const Text ref = Normalise(ReadFile(fs::path(casesDir) / (name + ".txt")));
    const Text out = Normalise(ReadFile(output));
    const size_t charErrors = EditDistance(ref, out);
    const std::vector<Text> refWords = Words(ref), outWords = Words(out);
    const size_t wordErrors = EditDistance(refWords, outWords);
    std::map<std::string, int> caseConfusions;
    CountConfusions(ref, out, &caseConfusions);
    for (const auto& [k, v] : caseConfusions) confusions[k] += v;

    std::string status = run.started
                             ? (run.status == 0 ? "ok" : "exit " + std::to_string(run.status))
                             : "not started";
    if (!run.started || run.status != 0) ++failures;
    std::printf("%-18s %6zu %8.2f %8.2f %8.3f %8.3f %8.1f  %s\n", name.c_str(), ref.size(),
                ref.empty() ? 0.0 : 100.0 * double(charErrors) / double(ref.size()),
                refWords.empty() ? 0.0 : 100.0 * double(wordErrors) / double(refWords.size()),
                run.wallSeconds, run.cpuSeconds, double(run.maxRssKb) / 1024.0, status.c_str());
    if (run.status != 0 && !run.errors.empty())
      std::printf("    %s\n", run.errors.substr(0, 300).c_str());
    totalChars += ref.size();
    totalCharErrors += charErrors;
    totalWords += refWords.size();
    totalWordErrors += wordErrors;
    totalWall += run.wallSeconds;
    totalCpu += run.cpuSeconds;
    peakKb = std::max(peakKb, run.maxRssKb);
  }
  std::printf("%-18s %6zu %8.2f %8.2f %8.3f %8.3f %8.1f  %d failed\n", "total", totalChars,
              totalChars ? 100.0 * double(totalCharErrors) / double(totalChars) : 0.0,
              totalWords ? 100.0 * double(totalWordErrors) / double(totalWords) : 0.0, totalWall,
              totalCpu, double(peakKb) / 1024.0, failures);

  std::vector<std::pair<int, std::string>> ranked;
  for (const auto& [k, v] : confusions) ranked.emplace_back(v, k);
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::printf("\nmost frequent confusions (reference→output, ∅ = nothing, ␣ = blank):\n");
  for (size_t i = 0; i < ranked.size() && i < 25; ++i) {
    // Pad by characters, not bytes: the labels hold multi-byte symbols.
    const std::string& label = ranked[i].second;
    size_t width = 0;
    for (char ch : label) width += (uint8_t(ch) & 0xC0) != 0x80;
    std::printf("  %s%s %5d\n", label.c_str(),
                std::string(width < 10 ? 10 - width : 0, ' ').c_str(), ranked[i].first);
  }
  if (keepDir.empty()) fs::remove_all(work, ec);
  return failures == 0 ? 0 : 1;
}
