// make_wordlist: turns a UTF-8 word list, one word a line (Debian's wngerman,
// /usr/share/dict/ngerman), into the program's front-coded "german.spe". Words that
// Windows-1252 cannot represent, or longer than the decoder's 50 characters, are left out.
//
//   make_wordlist INPUT OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/Cp1252.h"
#include "output/SaveFiles.h"
#include "recognition/WordList.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_wordlist INPUT OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "make_wordlist: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::string> words;
  size_t unrepresentable = 0, tooLong = 0;
  std::string line, word;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (!Utf8ToCp1252(line, &word)) {
      ++unrepresentable;
      continue;
    }
    if (word.size() > size_t(kMaxWordLength)) {
      ++tooLong;
      continue;
    }
    words.push_back(word);
  }
  std::string error;
  if (!WriteFileReplacing(argv[2], EncodeWordList(words), &error)) {
    std::cerr << "make_wordlist: " << error << "\n";
    return 1;
  }
  std::cout << "make_wordlist: " << words.size() << " words";
  if (unrepresentable + tooLong > 0)
    std::cout << " (left out: " << unrepresentable << " not in Windows-1252, " << tooLong
              << " longer than " << kMaxWordLength << ")";
  std::cout << "\n";
  return 0;
}
