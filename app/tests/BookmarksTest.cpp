#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/Bookmarks.h"

namespace {
std::vector<TBookmark> Sample() {
  return {{L"Run keys", RegRoot::LocalMachine, L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
          {L"Root", RegRoot::CurrentUser, L""}};
}
}  // namespace

TEST(BookmarkFile, AnsiWhenEverythingFits) {
  const std::string bytes = EncodeBookmarks(Sample());
  EXPECT_EQ(bytes,
            "Run keys\r\nHKEY_LOCAL_MACHINE\r\n\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
            "Root\r\nHKEY_CURRENT_USER\r\n\r\n");
  std::vector<TBookmark> back;
  DecodeBookmarks(bytes, back);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Description, L"Run keys");
  EXPECT_EQ(back[0].RootKey, RegRoot::LocalMachine);
  EXPECT_EQ(back[1].KeyPath, L"");
  EXPECT_EQ(back[1].RootKey, RegRoot::CurrentUser);
}

TEST(BookmarkFile, Utf16WithMarkWhenNot) {
  auto b = Sample();
  b[0].Description = L"\u4e2d\u6587 bookmark";
  b[1].KeyPath = L"\\Software\\\u0101";
  const std::string bytes = EncodeBookmarks(b);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::vector<TBookmark> back;
  DecodeBookmarks(bytes, back);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Description, b[0].Description);
  EXPECT_EQ(back[1].KeyPath, b[1].KeyPath);
}

TEST(BookmarkFile, ShortNamesUnknownRootsAndLineBreaks) {
  std::vector<TBookmark> back;
  DecodeBookmarks("A\nLocal Machine\n\\X\nB\r\nno such root\r\n\\Y\r\nC\r\nhkcu\r\n\\Z\r\n", back);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].RootKey, RegRoot::LocalMachine);
  EXPECT_EQ(back[1].RootKey, RegRoot::None);
  EXPECT_EQ(back[2].RootKey, RegRoot::CurrentUser);
  // An unknown root and an abbreviation are written back as they were
  // read, a short name as the full one; a path with a line break is never
  // written as another one.
  back.push_back({L"D", RegRoot::Users, L"\\two\nlines"});
  EXPECT_EQ(EncodeBookmarks(back),
            "A\r\nHKEY_LOCAL_MACHINE\r\n\\X\r\nB\r\nno such root\r\n\\Y\r\nC\r\nhkcu\r\n\\Z\r\n");
  // A description with a line break can't split its record.
  std::vector<TBookmark> one = {{L"two\r\nlines", RegRoot::Users, L"\\S"}};
  back.clear();
  DecodeBookmarks(EncodeBookmarks(one), back);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].Description, L"two  lines");
}

TEST(BookmarkFile, IncompleteLastGroupRaisesAfterTheCompleteOnes) {
  std::vector<TBookmark> back;
  EXPECT_THROW(DecodeBookmarks("a\nHKEY_USERS\n\\1\nb\nHKEY_USERS\n\\2\nc\n", back), EBookmarkFileError);
  EXPECT_EQ(back.size(), 2u);
}

TEST(BookmarkFile, SaveAndLoadFiles) {
  const auto dir = std::filesystem::temp_directory_path() / "zembrio_app_bm_test";
  std::filesystem::create_directories(dir);
  const String file = (dir / L"Bookmarks.ZembrioBM").wstring();
  std::filesystem::remove(dir / L"Bookmarks.ZembrioBM");
  std::vector<TBookmark> out;
  EXPECT_FALSE(LoadBookmarkFile(file, out));  // missing: no failure, nothing added
  EXPECT_TRUE(out.empty());
  SaveBookmarkFile(file, Sample());
  SaveBookmarkFile(file, Sample());  // replaces
  EXPECT_TRUE(LoadBookmarkFile(file, out));
  EXPECT_EQ(out.size(), 2u);
  EXPECT_THROW(SaveBookmarkFile((dir / L"no_such_dir" / L"x.bm").wstring(), Sample()), Exception);
#ifdef _WIN32
  // A file that can't be replaced (another program has it open) keeps its
  // bytes whole, and no part-written file is left beside it.
  const std::string before = EncodeBookmarks(Sample());
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(SaveBookmarkFile(file, {}), Exception);
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(file), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
#endif
  std::filesystem::remove_all(dir);
}
