// Figures, each a ratio against a baseline measured in the same run:
//   unicode.utbm_vs_find        TUTBMSearch.FindAll / std::u16string::find loop
//   unicode.utf8_decode_vs_widen UTF8ToWideString / widening every byte
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "unicode/SearchEngines.h"
#include "unicode/UnicodeUtils.h"

namespace {

template <class F>
double Best(F&& f, int rounds = 7) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    if (d.count() < best) best = d.count();
  }
  return best;
}

volatile std::size_t sink;

}  // namespace

int main() {
  std::mt19937 rng(12345);
  const char16_t alphabet[] = u"abcdefghijklmnopqrstuvwxyz \u00E9\u4E2D";
  std::u16string text;
  for (int i = 0; i < 4 * 1024 * 1024; ++i) text.push_back(alphabet[rng() % 29]);
  const std::u16string pattern = u"registrykey\u00E9";
  for (std::size_t at = 0; at + pattern.size() < text.size(); at += 50000)
    text.replace(at, pattern.size(), pattern);

  TUTBMSearch utbm(nullptr);
  utbm.FindPrepare(pattern, {sfCaseSensitive});
  double tUtbm = Best([&] {
    utbm.FindAll(text);
    sink = static_cast<std::size_t>(utbm.GetCount());
  });
  double tFind = Best([&] {
    std::size_t n = 0;
    for (std::size_t at = text.find(pattern); at != std::u16string::npos;
         at = text.find(pattern, at + pattern.size()))
      ++n;
    sink = n;
  });
  std::printf("BENCH unicode.utbm_vs_find %.3f ratio\n", tUtbm / tFind);

  std::string utf8 = WideStringToUTF8(text);
  double tDecode = Best([&] { sink = UTF8ToWideString(utf8).size(); });
  double tWiden = Best([&] {
    std::u16string out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) out.push_back(c);
    sink = out.size();
  });
  std::printf("BENCH unicode.utf8_decode_vs_widen %.3f ratio\n", tDecode / tWiden);
  return 0;
}
