// Asset path rules on the CPU: resolving data-file paths into pack names,
// normalising them for the archive library, and stripping the data
// directory again for comparisons.
#include <gtest/gtest.h>

#include "Loader/AssetPath.h"

namespace {

struct PathCase {
  const char* dataDirectory;
  const char* path;
  const char* expected;
};

std::string Normalized(std::string path) {
  NormalizePath(path);
  return path;
}

}  // namespace

TEST(AssetPath, ResolvedPathsLandInsideTheDataDirectory) {
  const PathCase cases[] = {
      {"Data", "seq/a.seq", "Data/seq/a.seq"},
      {"Data", "Data/seq/a.seq", "Data/seq/a.seq"},
      {"Data", "Data\\seq\\a.seq", "Data\\seq\\a.seq"},
      {"Data", "data\\seq\\a.seq", "Data/seq\\a.seq"},
      {"Data", "data/seq/a.seq", "Data/seq/a.seq"},
      {"Data", ".\\Data\\img\\x.png", "Data/img\\x.png"},
      {"Data", "./Data/img/x.png", "Data/img/x.png"},
      // Only the capital spelling is recognised after "./".
      {"Data", "./data/x", "Data/./data/x"},
      // A longer word starting like the directory is not the directory.
      {"Data", "Database/x", "Data/Database/x"},
      {"Data", "Data", "Data/Data"},
      {"Data", "data", "Data/data"},
      {"Data", "", ""},
      {".", "Data/x", "./x"},
      {".", "./x", "./x"},
      {".", "x", "./x"},
      {"Assets", "Data/x", "Assets/x"},
      {"Assets", "Assets\\x", "Assets\\x"},
  };
  for (const PathCase& c : cases) {
    SetDataDirectory(c.dataDirectory);
    EXPECT_EQ(ResolveDataPath(c.path), c.expected) << "dir " << c.dataDirectory << ", path " << c.path;
  }
}

TEST(AssetPath, NoDataDirectoryLeavesPathsAlone) {
  // Before the application sets one, the directory is empty.
  EXPECT_EQ(GetDataDirectory(), "");
  EXPECT_EQ(ResolveDataPath("seq/a.seq"), "seq/a.seq");
  SetDataDirectory("");
  EXPECT_EQ(GetDataDirectory(), ".");
}

TEST(AssetPath, NormalizingDropsOneLeadingDotAndTurnsBackslashes) {
  const std::pair<const char*, const char*> cases[] = {
      {"Data/seq\\a.seq", "Data/seq/a.seq"},
      {"Data/img\\x.png", "Data/img/x.png"},
      {"./x", "/x"},
      {"../x", "./x"},
      {".\\a\\b", "/a/b"},
      {"x.png", "x.png"},
      {"", ""},
      {".", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Normalized(path), expected) << path;
}

TEST(AssetPath, ResolvedAndNormalizedNamesAreArchiveNames) {
  const PathCase cases[] = {
      {"Data", "data\\seq\\a.seq", "Data/seq/a.seq"},
      {"Data", ".\\Data\\img\\x.png", "Data/img/x.png"},
      {".", "Data/x", "/x"},
  };
  for (const PathCase& c : cases) {
    SetDataDirectory(c.dataDirectory);
    EXPECT_EQ(Normalized(ResolveDataPath(c.path)), c.expected) << c.path;
  }
}

TEST(AssetPath, StrippingTheDataDirectoryInvertsResolving) {
  const PathCase cases[] = {
      {"Data", "Data/seq/a.seq", "seq/a.seq"},
      {"Data", "Data\\seq\\a.seq", "seq\\a.seq"},
      {"Data", "data/seq/a.seq", "seq/a.seq"},
      {"Data", "./Data/seq/a.seq", "seq/a.seq"},
      {"Data", ".\\Data\\seq\\a.seq", "seq\\a.seq"},
      {"Data", "seq/a.seq", "seq/a.seq"},
      {"Data", "Database/x", "Database/x"},
      {"Data", "Data", "Data"},
      {"Data", "./data/x", "./data/x"},
      {"Data", "", ""},
      {"Assets", "Assets/x", "x"},
      {"Assets", "Data/x", "x"},
      {".", "./x", "x"},
  };
  for (const PathCase& c : cases) {
    SetDataDirectory(c.dataDirectory);
    EXPECT_EQ(StripDataDir(c.path), c.expected) << "dir " << c.dataDirectory << ", path " << c.path;
  }
}

TEST(AssetPath, PathsWrittenEitherWayCompareEqualOnceStripped) {
  SetDataDirectory("Data");
  const char* forms[] = {"seq/a.seq", "Data/seq/a.seq", "data/seq/a.seq", "./Data/seq/a.seq"};
  for (const char* form : forms) EXPECT_EQ(StripDataDir(ResolveDataPath(form)), "seq/a.seq") << form;
}

// Every spelling the pack opens as the same file gets the same name.
TEST(AssetPath, PackEntryNamesAreOneNamePerPackFile) {
  const PathCase cases[] = {
      {"Data", "seq/x.seq", "Data/seq/x.seq"},
      {"Data", "seq//x.seq", "Data/seq/x.seq"},
      {"Data", "/seq/x.seq", "Data/seq/x.seq"},
      {"Data", "seq\\x.seq", "Data/seq/x.seq"},
      {"Data", "seq\\\\//x.seq", "Data/seq/x.seq"},
      {"Data", "//seq///x.seq/", "Data/seq/x.seq"},
      {"Data", "Data/seq/x.seq", "Data/seq/x.seq"},
      {"Data", "Data//seq/x.seq", "Data/seq/x.seq"},
      {"Data", "data\\seq\\x.seq", "Data/seq/x.seq"},
      {"Data", "./Data/seq/x.seq", "Data/seq/x.seq"},
      {"Data", "seq/X.seq", "Data/seq/X.seq"},  // names are case-sensitive
      {"Data", "", ""},
      {".", "seq//x.seq", "seq/x.seq"},
      {".", "/seq/x.seq", "seq/x.seq"},
  };
  for (const PathCase& c : cases) {
    SetDataDirectory(c.dataDirectory);
    EXPECT_EQ(PackEntryName(c.path), c.expected) << "dir " << c.dataDirectory << ", path " << c.path;
  }
}

TEST(AssetPath, AppendSlashAddsOneSeparator) {
  EXPECT_EQ(AppendSlash("Data"), "Data/");
  EXPECT_EQ(AppendSlash(""), "/");
  EXPECT_EQ(AppendSlash("obj/"), "obj//");
}
