// The directory table: recording, order, the scan and removal on real directories, and the scan held
// against the plain reference walk on generated trees.
#include "list/directory_table.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "directory_table_reference.h"
#include "run/run_cleanup.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> TableNow() {
  std::vector<std::string> table;
  for (int i = 0; i < g_directoryCount; ++i) table.push_back(g_directories[i]);
  return table;
}

std::string Repeat(const std::string& part, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

class DirectoryTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    base_ = MakeTempDir();
    UseProgramDirectory(base_);
    ResetDirectoryTable();
  }

  void TearDown() override {
    fs::current_path(previous_);
    g_programDirectory[0] = '\0';
    std::error_code ec;
    for (const fs::path& dir : made_) fs::remove_all(dir, ec);
  }

  fs::path MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "xqti-dirs-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "mkdtemp failed";
      return {};
    }
    made_.push_back(pattern);
    return pattern;
  }

  static void UseProgramDirectory(const fs::path& dir) {
    snprintf(g_programDirectory, sizeof g_programDirectory, "%s/", dir.c_str());
    fs::current_path(dir);
  }

  void MakeDirs(const std::vector<std::string>& dirs) {
    for (const std::string& dir : dirs) fs::create_directories(base_ / dir);
  }

  void MakeFile(const std::string& file) { std::ofstream(base_ / file) << "kept"; }

  bool Exists(const std::string& path) const { return fs::exists(fs::symlink_status(base_ / path)); }

  fs::path previous_;
  fs::path base_;
  std::vector<fs::path> made_;
};

// ---------------------------------------------------------------------------------------------------
// Recording

TEST_F(DirectoryTableTest, AddDirectoryRecordsEachDirectoryOnceInItsResolvedForm) {
  const std::string longest = Repeat("n", 254) + "\\";  // 255 bytes: fits a slot with its zero
  const std::string tooLong = Repeat("m", 255) + "\\";  // 256 bytes
  const std::vector<std::string> offered = {
      "Data\\",        "data\\",      "DATA\\Sound\\", "data\\sOUND\\", "",          "\\x\\",
      "/x/",           "c:x\\",       "C:\\x\\",       "..\\x\\",       "a\\..\\b\\", "a..b\\",
      "con\\",         "lpt1.txt\\",  "dot.\\",        "blank \\",      "st:x\\",     ".\\",
      "./",            "a/b/",        "a\\b\\",        "A\\.\\B\\",     "x\\\\y\\",   ".\\.\\k\\",
      "\xC9\\",        "\xE9\\",      longest,         tooLong,         "a\\b",
  };
  for (const std::string& dir : offered) AddDirectory(dir.c_str());
  const std::vector<std::string> expected = {
      "Data\\", "DATA\\Sound\\", "a\\b\\", "x\\y\\", "k\\", "\xC9\\", "\xE9\\", longest,
  };
  EXPECT_EQ(TableNow(), expected);
}

TEST_F(DirectoryTableTest, NothingIsRecordedWithoutAProgramDirectory) {
  g_programDirectory[0] = '\0';
  AddDirectory("data\\");
  EXPECT_EQ(g_directoryCount, 0);
}

TEST_F(DirectoryTableTest, TableHoldsAHundredTwentyEightEntries) {
  for (int i = 0; i <= 128; ++i) AddDirectory(("d" + std::to_string(i) + "\\").c_str());
  ASSERT_EQ(g_directoryCount, 128);
  EXPECT_STREQ(g_directories[127], "d127\\");
  for (int i = 0; i < 128; ++i) EXPECT_STRNE(g_directories[i], "d128\\");

  ResetDirectoryTable();
  EXPECT_EQ(g_directoryCount, 0);
  const char* bytes = &g_directories[0][0];
  EXPECT_TRUE(std::all_of(bytes, bytes + sizeof g_directories, [](char c) { return c == '\0'; }));
  AddDirectory("again\\");
  EXPECT_STREQ(g_directories[0], "again\\");
}

// ---------------------------------------------------------------------------------------------------
// Order

TEST(DirectoryTableOrder, CompareDescendingFoldsLettersAndSeparators) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"b\\", "a\\", -1},
      {"a\\", "b\\", 1},
      {"a\\", "a\\", 0},
      {"a\\", "A\\", 0},
      {"a/b/", "a\\b\\", 0},
      {"a\\b\\", "a\\", -1},           // below comes first
      {"a\\", "a\\b\\", 1},
      {"a\\b\\", "a\\B\\c\\", 1},      // unfolded, "B" < "b" would put the child last
      {"a\\B\\c\\", "a\\b\\", -1},
      {"a/b/c/", "a\\b\\", -1},
      {"Z\\", "a\\", -1},              // "z" after "a", though "Z" < "a" as bytes
      {"[\\", "A\\", 1},               // "[" lies between "Z" and "a"
      {"\xE9\\", "z\\", -1},           // bytes compare unsigned
      {"ab\\", "a\\b\\", -1},
  };
  for (const Case& c : cases) {
    char a[kDirectorySlotSize] = {};
    char b[kDirectorySlotSize] = {};
    strcpy(a, c.a);
    strcpy(b, c.b);
    EXPECT_EQ(CompareDescending(a, b), c.expected) << c.a << " vs " << c.b;
  }
}

TEST_F(DirectoryTableTest, SortPutsEveryDirectoryBeforeEveryDirectoryAboveIt) {
  for (const char* dir : {"a\\b\\", "a\\B\\c\\", "A\\", "b\\", "a\\b\\d\\", "ab\\", "a/b/e/", "B\\x\\"}) {
    AddDirectory(dir);
  }
  SortDirectoriesDescending();
  const std::vector<std::string> expected = {
      "B\\x\\", "b\\", "ab\\", "a\\b\\e\\", "a\\b\\d\\", "a\\B\\c\\", "a\\b\\", "A\\",
  };
  const std::vector<std::string> sorted = TableNow();
  ASSERT_EQ(sorted, expected);
  for (size_t i = 0; i < sorted.size(); ++i) {
    for (size_t j = 0; j < sorted.size(); ++j) {
      std::string above = FoldAscii(sorted[i]);
      std::string below = FoldAscii(sorted[j]);
      if (i != j && below.compare(0, above.size(), above) == 0) EXPECT_LT(j, i) << sorted[j] << " after " << sorted[i];
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// Scan and removal on real directories

TEST_F(DirectoryTableTest, NestedDirectoriesAreRemovedDeepestFirst) {
  MakeDirs({"a/b/c"});
  AddDirectory("a\\");
  ScanAllDirectories();
  EXPECT_EQ(TableNow(), (std::vector<std::string>{"a\\", "a\\b\\", "a\\b\\c\\"}));
  EXPECT_EQ(g_scanEnumerations, 3);
  SortDirectoriesDescending();
  EXPECT_EQ(TableNow(), (std::vector<std::string>{"a\\b\\c\\", "a\\b\\", "a\\"}));
  RemoveDirectories();
  EXPECT_FALSE(Exists("a"));
}

TEST_F(DirectoryTableTest, ADirectoryHoldingAFileStaysWithItsAncestors) {
  MakeDirs({"a/b/c", "a/b/d", "a/e/f"});
  MakeFile("a/b/c/keep.txt");
  AddDirectory("a\\b\\");
  AddDirectory("a\\");
  ScanAllDirectories();
  EXPECT_EQ(TableNow(), (std::vector<std::string>{"a\\b\\", "a\\", "a\\b\\c\\", "a\\b\\d\\", "a\\e\\", "a\\e\\f\\"}));
  EXPECT_EQ(g_scanEnumerations, 6);  // a\b is walked once, not again from a
  SortDirectoriesDescending();
  RemoveDirectories();
  for (const char* gone : {"a/b/d", "a/e/f", "a/e"}) EXPECT_FALSE(Exists(gone)) << gone;
  for (const char* kept : {"a/b/c/keep.txt", "a/b/c", "a/b", "a"}) EXPECT_TRUE(Exists(kept)) << kept;
}

TEST_F(DirectoryTableTest, LinksAreNeitherWalkedNorRemoved) {
  fs::path outside = MakeTempDir();
  fs::create_directories(outside / "x/y");
  MakeDirs({"a/s", "t/u"});
  fs::create_directory_symlink(base_ / "t", base_ / "a/inside");
  fs::create_directory_symlink(outside, base_ / "a/outside");
  fs::create_directory_symlink(outside, base_ / "lnk");
  AddDirectory("a\\");
  AddDirectory("lnk\\");
  ScanAllDirectories();
  EXPECT_EQ(TableNow(), (std::vector<std::string>{"a\\", "lnk\\", "a\\s\\"}));
  EXPECT_EQ(g_scanEnumerations, 3);  // a, a\s, and the refused attempt on lnk
  SortDirectoriesDescending();
  RemoveDirectories();
  EXPECT_FALSE(Exists("a/s"));
  for (const char* kept : {"a", "a/inside", "a/outside", "lnk", "t/u"}) EXPECT_TRUE(Exists(kept)) << kept;
  EXPECT_TRUE(fs::exists(outside / "x/y"));
}

TEST_F(DirectoryTableTest, CaseVariantsOfOneDirectoryShareOneWalk) {
  MakeDirs({"Data/Sound/Fx", "Data/Music"});
  AddDirectory("data\\sound\\");
  AddDirectory("data\\");
  AddDirectory("DATA\\SOUND\\");
  ScanAllDirectories();
  EXPECT_EQ(TableNow(), (std::vector<std::string>{"data\\sound\\", "data\\", "data\\sound\\Fx\\", "data\\Music\\"}));
  EXPECT_EQ(g_scanEnumerations, 4);
  SortDirectoriesDescending();
  RemoveDirectories();
  EXPECT_FALSE(Exists("Data"));
}

TEST_F(DirectoryTableTest, AFullTableEndsTheWalk) {
  std::vector<std::string> dirs;
  for (int i = 0; i < 200; ++i) {
    char name[16];
    snprintf(name, sizeof name, "a/c%03d", i);
    dirs.push_back(name);
  }
  MakeDirs(dirs);
  AddDirectory("a\\");
  ScanAllDirectories();
  ASSERT_EQ(g_directoryCount, 128);
  EXPECT_STREQ(g_directories[127], "a\\c126\\");
  EXPECT_EQ(g_scanEnumerations, 127);  // a and the 126 children entered before the last slot was taken
  SortDirectoriesDescending();
  RemoveDirectories();
  EXPECT_FALSE(Exists("a/c000"));
  EXPECT_FALSE(Exists("a/c126"));
  EXPECT_TRUE(Exists("a/c127"));
  EXPECT_TRUE(Exists("a/c199"));
  EXPECT_TRUE(Exists("a"));
}

TEST_F(DirectoryTableTest, ATreeTwoHundredLevelsDeepIsWalkedToItsBottom) {
  std::string deep = "d" + Repeat("/d", 199);
  MakeDirs({deep});
  AddDirectory("d\\");
  ScanAllDirectories();
  // Levels below the 127th have texts too long for a slot; the walk still reaches the bottom.
  EXPECT_EQ(g_scanEnumerations, 200);
  ASSERT_EQ(g_directoryCount, 127);
  SortDirectoriesDescending();
  EXPECT_STREQ(g_directories[0], Repeat("d\\", 127).c_str());
  EXPECT_STREQ(g_directories[126], "d\\");
  RemoveDirectories();
  EXPECT_TRUE(Exists(deep));  // its bottom was never recorded, so every level above it stays
}

TEST_F(DirectoryTableTest, TextsBeyondThePathBufferAreNotEntered) {
  const std::string name = Repeat("x", 200);
  std::string path = name;
  for (int level = 2; level <= 11; ++level) path += "/" + name;
  MakeDirs({path});
  AddDirectory((name + "\\").c_str());
  ScanAllDirectories();
  EXPECT_EQ(g_scanEnumerations, 10);  // level 10's text has 2010 bytes, level 11's 2211
  EXPECT_EQ(TableNow(), (std::vector<std::string>{name + "\\"}));
}

// ---------------------------------------------------------------------------------------------------
// The scan against the plain reference walk

struct TreeShape {
  int maxChildren;
  int maxDepth;
  size_t budget;
  bool longNames;
};

struct TreeGenerator {
  std::mt19937 rng;
  fs::path root;
  fs::path outside;
  TreeShape shape;
  std::vector<std::string> dirs;   // "/"-separated, as on disk
  std::vector<std::string> links;

  int Below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string Name() {
    static const char* const kOdd[] = {"con", "Nul.d", "dot.", "blank ", "a..b", "x:y", "b\\c"};
    if (Below(100) < 4) return kOdd[Below(7)];
    static const char kLetters[] = "abcABCxyzXYZ019_-";
    int length = shape.longNames ? 30 + Below(60) : 1 + Below(3);
    std::string name;
    for (int i = 0; i < length; ++i) name += kLetters[Below(sizeof kLetters - 1)];
    return name;
  }

  void Grow(const std::string& rel, int depth) {
    int children = Below(shape.maxChildren + 1);
    if (rel.empty()) children = 2 + Below(2);
    std::set<std::string> taken;
    for (int i = 0; i < children && dirs.size() < shape.budget; ++i) {
      std::string name = Name();
      if (!taken.insert(FoldAscii(name)).second) continue;
      std::string child = rel.empty() ? name : rel + "/" + name;
      if (Below(100) < 6 && !dirs.empty()) {
        fs::path target = Below(2) == 0 ? root / dirs[Below(static_cast<int>(dirs.size()))] : outside;
        fs::create_directory_symlink(target, root / child);
        links.push_back(child);
        continue;
      }
      fs::create_directory(root / child);
      dirs.push_back(child);
      if (Below(100) < 15) std::ofstream(root / child / "f.txt") << "x";
      if (depth + 1 < shape.maxDepth) Grow(child, depth + 1);
    }
  }

  // A list text for the directory rel: letter case as the list reader leaves it, as on disk, or mixed;
  // either separator; sometimes with a "." component in front.
  std::string Variant(const std::string& rel) {
    int letters = Below(3);
    std::string out = Below(6) == 0 ? ".\\" : "";
    for (char c : rel + "/") {
      if (c == '/') {
        out += Below(3) == 0 ? '/' : '\\';
      } else if (letters == 0 && c >= 'A' && c <= 'Z') {
        out += static_cast<char>(c + ('a' - 'A'));
      } else if (letters == 2 && isalpha(static_cast<unsigned char>(c)) && Below(2) == 0) {
        out += static_cast<char>(c ^ 0x20);
      } else {
        out += c;
      }
    }
    return out;
  }

  std::string AnyDir() { return dirs[Below(static_cast<int>(dirs.size()))]; }

  std::vector<std::string> ListDirs() {
    std::vector<std::string> list;
    int count = 1 + Below(10);
    for (int i = 0; i < count; ++i) {
      int kind = Below(100);
      if (kind < 50) {
        list.push_back(Variant(AnyDir()));
      } else if (kind < 62 && !list.empty()) {
        std::string again = list[Below(static_cast<int>(list.size()))];
        for (char& c : again) {
          if (isalpha(static_cast<unsigned char>(c)) && Below(2) == 0) c = static_cast<char>(c ^ 0x20);
        }
        list.push_back(again);
      } else if (kind < 70 && !links.empty()) {
        list.push_back(Variant(links[Below(static_cast<int>(links.size()))]));
      } else if (kind < 76) {
        list.push_back("zz" + std::to_string(Below(3)) + "\\q\\");
      } else if (kind < 86) {
        std::string top = Variant(AnyDir());
        const std::string refused[] = {"..\\" + top, "\\" + top, "/" + top, "c:" + top,
                                       "C:\\" + top, top + "..\\", "", ".\\"};
        list.push_back(refused[Below(8)]);
      } else {
        // A directory and one of its ancestors, in either order.
        std::string dir = AnyDir();
        size_t cut = dir.find('/');
        std::string above = cut == std::string::npos ? dir : dir.substr(0, cut);
        bool deepFirst = Below(2) == 0;
        list.push_back(Variant(deepFirst ? dir : above));
        list.push_back(Variant(deepFirst ? above : dir));
      }
    }
    return list;
  }
};

TEST_F(DirectoryTableTest, ScanMatchesThePlainWalkOnGeneratedTrees) {
  const TreeShape shapes[] = {
      {3, 4, 30, false},   // small: the table keeps room
      {4, 5, 120, false},  // about the table's size
      {8, 5, 400, false},  // the table fills
      {3, 6, 60, true},    // long names: texts too long for a slot, walked below
  };
  fs::path outside = MakeTempDir();
  fs::create_directories(outside / "o/p");
  int filled = 0;
  int withRoom = 0;
  int spared = 0;
  int walkedBelowSlots = 0;
  for (unsigned seed = 0; seed < 200; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    fs::path root = base_ / ("seed" + std::to_string(seed));
    fs::create_directory(root);
    TreeGenerator tree{std::mt19937(seed), root, outside, shapes[seed % 4], {}, {}};
    tree.Grow("", 0);
    std::vector<std::string> list = tree.ListDirs();
    UseProgramDirectory(root);

    ResetDirectoryTable();
    for (const std::string& dir : list) AddDirectory(dir.c_str());
    ScanAllDirectories();
    ReferenceScan reference = RunReferenceScan(list);

    ASSERT_EQ(TableNow(), reference.table);
    EXPECT_EQ(static_cast<size_t>(g_scanEnumerations), reference.enumeratedWithRoom.size());
    EXPECT_LE(static_cast<size_t>(g_scanEnumerations), reference.enumerated.size());

    std::vector<std::string> expectedOrder = reference.table;
    std::sort(expectedOrder.begin(), expectedOrder.end(),
              [](const std::string& a, const std::string& b) { return FoldAscii(a) > FoldAscii(b); });
    SortDirectoriesDescending();
    EXPECT_EQ(TableNow(), expectedOrder);

    (g_directoryCount == 128 ? filled : withRoom) += 1;
    if (g_scanEnumerations < reference.enumerations) ++spared;
    for (const std::string& walked : reference.enumeratedWithRoom) {
      if (walked.size() >= kDirectorySlotSize) {
        ++walkedBelowSlots;
        break;
      }
    }
    UseProgramDirectory(base_);
    fs::remove_all(root);
  }
  // The generated trees reach both sides of the table's size and below texts too long for a slot, and
  // walks were spared.
  EXPECT_GE(filled, 20);
  EXPECT_GE(withRoom, 20);
  EXPECT_GE(walkedBelowSlots, 10);
  EXPECT_GE(spared, 50);
}

}  // namespace
