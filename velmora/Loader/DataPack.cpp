// The data pack reader over PhysFS.
//
// The pack is mounted read-only at the root of the search path. Its entries
// are all encrypted: an entry opens only as "name$password", while the
// existence test takes the plain name. Reads are whole-file and the caller
// owns the buffer.
#include "Loader/DataPack.h"

#include <physfs.h>

#include <climits>
#include <new>

#include "Loader/AssetPath.h"
#include "Loader/rvLoader.h"

namespace {

constexpr const char* kPackPassword = "Quiet lanterns drift over amber fields.";

// Reads an open file whole. The length an archive announces is not trusted:
// one that is unknown (negative), leaves no room for the terminating 0 in an
// int-sized buffer or asks for more memory than there is, or a read that
// comes back short (a damaged pack), is a miss rather than a buffer holding
// garbage or an exception.
FileBuffer ReadOpenFile(PHYSFS_File* file, int& size) {
  const PHYSFS_sint64 length = PHYSFS_fileLength(file);
  if (length < 0 || length >= PHYSFS_sint64(INT_MAX)) return nullptr;
  FileBuffer buffer(new (std::nothrow) char[size_t(length) + 1]);
  if (!buffer) return nullptr;
  if (PHYSFS_readBytes(file, buffer.get(), PHYSFS_uint64(length)) != length) return nullptr;
  buffer[size_t(length)] = 0;
  size = int(length);
  return buffer;
}

}  // namespace

DataPack& DataPack::Get() {
  static DataPack s_pack;
  return s_pack;
}

DataPack::DataPack() {
  if (!PHYSFS_isInit()) PHYSFS_init(nullptr);
  if (PHYSFS_mount(kPackFile, nullptr, 1)) m_password = kPackPassword;
}

FileBuffer DataPack::ReadFile(const std::string& path, int& size) {
  size = 0;
  if (path.empty()) return nullptr;
  std::string name = PackEntryName(path);

  FileBuffer buffer;
  if (PHYSFS_isInit() && !name.empty() && PHYSFS_exists(name.c_str())) {
    if (!m_password.empty()) name += "$" + m_password;
    if (PHYSFS_File* file = PHYSFS_openRead(name.c_str())) {
      buffer = ReadOpenFile(file, size);
      PHYSFS_close(file);
    }
  }
  rvLoader::Update(size);
  return buffer;
}

const uint8_t* DataPack::LoadFileToVector(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  int size = 0;
  FileBuffer buffer = ReadFile(path, size);
  if (!buffer) return nullptr;
  // An empty file is a hit with no bytes: the vector's data may be null.
  bytes.assign(buffer.get(), buffer.get() + size);
  return bytes.data();
}
