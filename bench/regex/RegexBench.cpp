// Registry-search workload for the regular-expression engine: a few hundred
// thousand key names, value names and string data, searched the way the
// search thread does (modifiers r, s, g and x off, m on; i for searches that
// ignore case, over upper-cased candidates). Compared with std::regex in the
// same build and, natively, with PCRE2's interpreter.
//
// Prints:
//   BENCH regex.speedup_vs_std_regex <x> x   geometric mean, higher is better
//   BENCH regex.ratio_vs_pcre2 <x> x         our time over PCRE2's (geometric mean)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "Libraries/regex/RegExpr.h"

#ifdef ZEMBRIO_BENCH_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

// ---------------------------------------------------------------------------
// Corpus

struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return uint32_t(s >> 11);
  }
  size_t Below(size_t n) { return Next() % n; }
};

const char* const kKeyWords[] = {
    "Software", "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell", "Run", "RunOnce",
    "Policies", "System", "Classes", "CLSID", "Interface", "TypeLib", "InprocServer32",
    "LocalServer32", "DefaultIcon", "shellex", "ContextMenuHandlers", "Uninstall", "Services",
    "Control", "Session Manager", "Environment", "FileExts", "OpenWithList", "Internet Settings",
    "Zones", "Lockdown_Zones", "Desktop", "Themes", "Fonts", "Print", "Printers", "Network",
    "Tcpip", "Parameters", "Adapters", "Enum", "PCI", "USB", "Device Parameters", "Wow6432Node",
    "Office", "16.0", "Common", "Excel", "Word", "Outlook", "Profiles", "Mozilla", "Firefox",
    "Google", "Chrome", "Update", "Clients", "StartMenuInternet", "Capabilities", "Components",
    "ProgID", "Version", "Security", "Cryptography", "Providers", "Audio", "MMDevices"};

const char* const kValueNames[] = {
    "DisplayName", "DisplayVersion", "Publisher", "InstallLocation", "UninstallString",
    "InstallDate", "EstimatedSize", "DisplayIcon", "ImagePath", "Description", "Start", "Type",
    "ErrorControl", "ObjectName", "Path", "TEMP", "TMP", "PATHEXT", "ProgramFilesDir",
    "CommonFilesDir", "Wallpaper", "ThreadingModel", "LastWriteTime", "MRUList", "a", "b", "c",
    "Version", "Language", "Enabled", "ProxyServer", "ProxyOverride", "AutoConfigURL",
    "FriendlyName", "DeviceDesc", "HardwareID", "Driver", "Mfg", "Service", "Class"};

const char* const kDataParts[] = {
    "C:\\Program Files\\", "C:\\Program Files (x86)\\", "%SystemRoot%\\system32\\",
    "C:\\Windows\\System32\\", "%ProgramFiles%\\Common Files\\", "C:\\Users\\Public\\",
    "Microsoft Corporation", "Mozilla", "Google LLC", "Adobe Systems Incorporated",
    "shell32.dll", "explorer.exe", "rundll32.exe", "msiexec.exe /X", "setup.exe", "svchost.exe -k netsvcs",
    "Apartment", "Both", "Free", "http://www.example.com/", "https://update.example.org/check",
    "Windows Defender", "Intel(R) Management Engine", "Realtek High Definition Audio",
    "USB Root Hub", "Generic PnP Monitor", "en-US", "de-DE", ".txt", ".exe", ".dll", ",-21787",
    "\"%1\"", " /s", " --single-argument", "Notepad", "Paint", "Calculator"};

std::string Guid(Rng& r) {
  static const char hex[] = "0123456789ABCDEF";
  std::string g = "{";
  const int groups[] = {8, 4, 4, 4, 12};
  for (int i = 0; i < 5; ++i) {
    if (i) g += '-';
    for (int k = 0; k < groups[i]; ++k) g += hex[r.Below(16)];
  }
  return g + "}";
}

std::vector<std::string> MakeCorpus(size_t count) {
  Rng r;
  std::vector<std::string> out;
  out.reserve(count);
  const size_t nk = std::size(kKeyWords), nv = std::size(kValueNames), nd = std::size(kDataParts);
  while (out.size() < count) {
    switch (r.Below(10)) {
      case 0:
      case 1:  // key name
        out.push_back(kKeyWords[r.Below(nk)]);
        break;
      case 2:  // class or interface key
        out.push_back(Guid(r));
        break;
      case 3:
      case 4:  // value name
        out.push_back(kValueNames[r.Below(nv)]);
        break;
      case 5: {  // version data
        char buf[48];
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", unsigned(r.Below(20)),
                      unsigned(r.Below(10)), unsigned(r.Below(30000)), unsigned(r.Below(999)));
        out.push_back(buf);
        break;
      }
      default: {  // path-like or descriptive string data
        std::string s;
        size_t parts = 1 + r.Below(4);
        for (size_t i = 0; i < parts; ++i) {
          s += kDataParts[r.Below(nd)];
          if (r.Below(3) == 0) s += kKeyWords[r.Below(nk)];
        }
        out.push_back(s);
        break;
      }
    }
  }
  return out;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

// ---------------------------------------------------------------------------
// Patterns: ours (compiled with g off), and the same search for std::regex
// and PCRE2 (quantifiers lazy, as g off makes ours).

struct Pattern {
  const char* name;
  const char* ours;
  const char* ecma;
  bool caseSensitive;
};

const Pattern kPatterns[] = {
    {"literal", "Microsoft", "Microsoft", true},
    {"literal_ci", "microsoft", "microsoft", false},
    {"literal_rare", "Realtek", "Realtek", true},
    {"anchored", "^Run$", "^Run$", true},
    {"anchored_ci", "^run", "^run", false},
    {"guid", "^\\{[0-9A-F-]+\\}$", "^\\{[0-9A-F-]+?\\}$", true},
    {"alternation", "Explorer|Shell|Desktop", "Explorer|Shell|Desktop", true},
    {"alternation_ci", "firefox|chrome|edge", "firefox|chrome|edge", false},
    {"class_version", "\\d+\\.\\d+\\.\\d+", "\\d+?\\.\\d+?\\.\\d+?", true},
    {"dotstar", "Program.*\\.exe", "Program.*?\\.exe", true},
    {"dotstar_ci", "system32.*dll", "system32.*?dll", false},
    {"word", "\\bsetup\\b", "\\bsetup\\b", false},
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Result {
  double seconds = 0;
  size_t hits = 0;
};

// Our engine over `corpus`, `reps` times.
Result RunOurs(const Pattern& p, const std::vector<std::string>& corpus, int reps) {
  TRegex r;
  r.SetModifier(2, false);
  r.SetModifier(3, false);
  r.SetModifier(4, false);
  r.SetModifier(5, true);
  r.SetModifier(6, false);
  r.SetExpression(p.ours);
  r.Compile();
  r.SetModifier(1, !p.caseSensitive);
  Result res;
  auto t0 = Clock::now();
  for (int k = 0; k < reps; ++k) {
    size_t hits = 0;
    for (const std::string& s : corpus) hits += r.Exec(s);
    res.hits = hits;
  }
  res.seconds = Seconds(t0, Clock::now()) / reps;
  return res;
}

Result RunStd(const Pattern& p, const std::vector<std::string>& corpus, size_t stride) {
  auto flags = std::regex::ECMAScript | std::regex::optimize;
  if (!p.caseSensitive) flags |= std::regex::icase;
  std::regex re(p.ecma, flags);
  Result res;
  auto t0 = Clock::now();
  for (size_t i = 0; i < corpus.size(); i += stride) res.hits += std::regex_search(corpus[i], re);
  res.seconds = Seconds(t0, Clock::now()) * double(stride);
  return res;
}

#ifdef ZEMBRIO_BENCH_PCRE2
Result RunPcre2(const Pattern& p, const std::vector<std::string>& corpus, int reps) {
  int err = 0;
  PCRE2_SIZE errOffset = 0;
  uint32_t options = PCRE2_MULTILINE | (p.caseSensitive ? 0 : PCRE2_CASELESS);
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.ecma), PCRE2_ZERO_TERMINATED,
                                   options, &err, &errOffset, nullptr);
  Result res;
  if (!code) return res;
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  auto t0 = Clock::now();
  for (int k = 0; k < reps; ++k) {
    size_t hits = 0;
    for (const std::string& s : corpus)
      hits += pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, md,
                          nullptr) >= 0;
    res.hits = hits;
  }
  res.seconds = Seconds(t0, Clock::now()) / reps;
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return res;
}
#endif

}  // namespace

int main() {
  const std::vector<std::string> corpus = MakeCorpus(300000);
  std::vector<std::string> upper;
  upper.reserve(corpus.size());
  for (const std::string& s : corpus) upper.push_back(Upper(s));

  double logSpeedup = 0;
#ifdef ZEMBRIO_BENCH_PCRE2
  double logPcre = 0;
#endif
  int n = 0;
  bool consistent = true;
  for (const Pattern& p : kPatterns) {
    // Case-insensitive searches run over upper-cased candidates, as the
    // search thread does.
    const std::vector<std::string>& text = p.caseSensitive ? corpus : upper;
    Result ours = RunOurs(p, text, 5);
    Result std = RunStd(p, text, 10);
    double speedup = std.seconds / ours.seconds;
    logSpeedup += std::log(speedup);
    std::printf("# %-16s ours %8.2f ms (%zu hits)  std::regex %9.2f ms  x%.1f", p.name,
                ours.seconds * 1e3, ours.hits, std.seconds * 1e3, speedup);
#ifdef ZEMBRIO_BENCH_PCRE2
    Result pcre = RunPcre2(p, text, 5);
    double ratio = ours.seconds / pcre.seconds;
    logPcre += std::log(ratio);
    std::printf("  pcre2 %8.2f ms (%zu hits)  ratio %.2f", pcre.seconds * 1e3, pcre.hits, ratio);
    if (pcre.hits != ours.hits) consistent = false;
#endif
    std::printf("\n");
    ++n;
  }
  if (!consistent) std::printf("# warning: hit counts differ from PCRE2's\n");
  std::printf("BENCH regex.speedup_vs_std_regex %.2f x\n", std::exp(logSpeedup / n));
#ifdef ZEMBRIO_BENCH_PCRE2
  std::printf("BENCH regex.ratio_vs_pcre2 %.2f x\n", std::exp(logPcre / n));
#endif
  return 0;
}
