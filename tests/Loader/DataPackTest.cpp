// The data pack on real encrypted packs built at test time: hits, misses,
// empty files, a missing pack, a wrong password, and damaged packs whose
// entries announce more bytes than they hold.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Loader/AssetPath.h"
#include "Loader/DataPack.h"
#include "support/TestPack.h"

namespace {

const PackFiles kFiles = {
    {"Data/seq/a.seq", "{\"items\":[]}"},
    {"Data/csv/empty.csv", ""},
    {"Data/img/x.bin", std::string("\x01\x00\x02\xff", 4)},
    {"Data/font/big.txt", std::string(70000, 'q')},
};

void EnterPack(const TempDir& dir, const PackFiles& files = kFiles,
               const std::string& password = kPackPassword) {
  ASSERT_TRUE(BuildPack(dir, files, password));
  EnterDir(dir);
  SetDataDirectory("Data");
}

std::string Contents(const FileBuffer& buffer, int size) { return std::string(buffer.get(), size_t(size)); }

// Rewrites the uncompressed size of the pack's only entry in its local and
// central headers, as a damaged or hostile pack would announce it.
void AnnounceUncompressedSize(const std::string& packPath, uint32_t size) {
  std::ifstream in(packPath, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  auto patch = [&](const char* signature, size_t offsetInHeader) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
      if (std::memcmp(&bytes[i], signature, 4) != 0) continue;
      ASSERT_LE(i + offsetInHeader + 4, bytes.size());
      for (int b = 0; b < 4; ++b) bytes[i + offsetInHeader + b] = char((size >> (8 * b)) & 0xFF);
      return;
    }
    FAIL() << "zip header not found";
  };
  patch("PK\x03\x04", 22);
  patch("PK\x01\x02", 24);
  std::ofstream(packPath, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace

TEST(DataPack, HitReturnsTheFileWithATerminatingZero) {
  TempDir dir;
  EnterPack(dir);
  for (const auto& [name, contents] : kFiles) {
    int size = -1;
    FileBuffer buffer = DataPack::Get().ReadFile(StripDataDir(name), size);
    ASSERT_NE(buffer, nullptr) << name;
    EXPECT_EQ(size, int(contents.size())) << name;
    EXPECT_EQ(Contents(buffer, size), contents) << name;
    EXPECT_EQ(buffer[size_t(size)], 0) << name;
  }
  EXPECT_TRUE(DataPack::Get().Mounted());
}

TEST(DataPack, EmptyFileIsOneZeroByte) {
  TempDir dir;
  EnterPack(dir);
  int size = -1;
  FileBuffer buffer = DataPack::Get().ReadFile("csv/empty.csv", size);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(DataPack, EveryWrittenFormOfAPathFindsTheSameEntry) {
  TempDir dir;
  EnterPack(dir);
  const char* forms[] = {"seq/a.seq", "Data/seq/a.seq", "data\\seq\\a.seq", ".\\Data\\seq\\a.seq",
                         "./Data/seq/a.seq", "seq\\a.seq"};
  for (const char* form : forms) {
    int size = 0;
    FileBuffer buffer = DataPack::Get().ReadFile(form, size);
    ASSERT_NE(buffer, nullptr) << form;
    EXPECT_EQ(Contents(buffer, size), kFiles.at("Data/seq/a.seq")) << form;
  }
}

TEST(DataPack, MissesReturnNullAndSizeZero) {
  TempDir dir;
  EnterPack(dir);
  // Names are case-sensitive, and "./data/" is not taken for the data
  // directory; an empty path is refused before the pack is asked.
  const char* misses[] = {"seq/b.seq", "SEQ/A.SEQ", "./data/seq/a.seq", "Database/seq/a.seq", "seq", ""};
  for (const char* path : misses) {
    int size = 123;
    EXPECT_EQ(DataPack::Get().ReadFile(path, size), nullptr) << path;
    EXPECT_EQ(size, 0) << path;
  }
}

TEST(DataPack, WithoutAPackEveryReadMisses) {
  TempDir dir;
  EnterDir(dir);
  SetDataDirectory("Data");
  int size = 7;
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_FALSE(DataPack::Get().Mounted());
  // A pack that appears later is not mounted: the failed mount is final.
  ASSERT_TRUE(BuildPack(dir, kFiles));
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
}

TEST(DataPack, PackUnderAnotherPasswordMisses) {
  TempDir dir;
  EnterPack(dir, kFiles, "not the password");
  int size = 7;
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
  EXPECT_EQ(size, 0);
}

TEST(DataPack, EntryAnnouncingMoreBytesThanItHoldsMisses) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/a.seq", "twelve bytes"}}));
  AnnounceUncompressedSize(dir.Path() + "/Velmora-Pinvale.sts", 100000);
  EnterDir(dir);
  SetDataDirectory("Data");
  int size = 7;
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
  EXPECT_EQ(size, 0);
}

TEST(DataPack, EntryAnnouncingALengthPastTheIntRangeMisses) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/a.seq", "twelve bytes"}}));
  AnnounceUncompressedSize(dir.Path() + "/Velmora-Pinvale.sts", 0xFFFFFFF0u);
  EnterDir(dir);
  SetDataDirectory("Data");
  int size = 7;
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
  EXPECT_EQ(size, 0);
}

// A length that fits an int but not the memory at hand (a damaged pack on a
// small machine): the buffer cannot be had, and the read is a miss rather
// than an exception that ends the process.
TEST(DataPack, EntryAnnouncingMoreThanMemoryHoldsMisses) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/a.seq", "twelve bytes"}}));
  AnnounceUncompressedSize(dir.Path() + "/Velmora-Pinvale.sts", 0x7FFFFFF0u);
  EnterDir(dir);
  SetDataDirectory("Data");
  DataPack::Get();  // mounted before the address space shrinks
  // Leave this process 256 MB of address space beyond what it uses now.
  long usedKb = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmSize:", 0) == 0) usedKb = std::stol(line.substr(7));
  ASSERT_GT(usedKb, 0);
  const rlimit limit = {rlim_t(usedKb + 256 * 1024) * 1024, rlim_t(usedKb + 256 * 1024) * 1024};
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
  int size = 7;
  EXPECT_EQ(DataPack::Get().ReadFile("seq/a.seq", size), nullptr);
  EXPECT_EQ(size, 0);
}

TEST(DataPack, LoadFileToVectorCopiesAHitAndEmptiesOnAMiss) {
  TempDir dir;
  EnterPack(dir);
  std::vector<uint8_t> bytes = {9, 9, 9};
  const uint8_t* data = DataPack::Get().LoadFileToVector("img/x.bin", bytes);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data, bytes.data());
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 0, 2, 255}));

  EXPECT_EQ(DataPack::Get().LoadFileToVector("img/none.bin", bytes), nullptr);
  EXPECT_TRUE(bytes.empty());
}

TEST(DataPack, NamesHoldingTheirOwnDollarSignOpen) {
  // The password is split off at the last "$", so a name may carry one.
  TempDir dir;
  EnterPack(dir, {{"Data/img/a$b.txt", "dollar"}});
  int size = 0;
  FileBuffer buffer = DataPack::Get().ReadFile("img/a$b.txt", size);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(Contents(buffer, size), "dollar");
}

TEST(DataPack, LoadFileReadsLikeReadFile) {
  TempDir dir;
  EnterPack(dir);
  int size = 0;
  FileBuffer buffer = DataPack::Get().LoadFile("font/big.txt", size);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 70000);
  EXPECT_EQ(buffer[69999], 'q');
  EXPECT_EQ(buffer[70000], 0);
}
