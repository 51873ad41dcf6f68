// MusicDecoder over libmpg123 (see MusicDecoder.h): a reader and a seeker
// over the caller's bytes replace file access, so the whole stream is
// decoded from memory.
#include "effects/music/MusicDecoder.h"

#include <mpg123.h>

#include <cstring>
#include <mutex>

namespace {

ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
  auto* src = static_cast<MusicDecoder::Source*>(handle);
  const size_t left = src->size - src->pos;
  const size_t n = bytes < left ? bytes : left;
  std::memcpy(buffer, src->data + src->pos, n);
  src->pos += n;
  return static_cast<ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto* src = static_cast<MusicDecoder::Source*>(handle);
  off_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<off_t>(src->pos);
  if (whence == SEEK_END) base = static_cast<off_t>(src->size);
  const off_t target = base + offset;
  if (target < 0 || target > static_cast<off_t>(src->size)) return -1;
  src->pos = static_cast<size_t>(target);
  return target;
}

// libmpg123 keeps process-wide tables that mpg123_init builds once; the
// decoder never calls mpg123_exit, which would pull them from under another
// open decoder.
void InitLibraryOnce() {
  static std::once_flag s_once;
  std::call_once(s_once, [] { mpg123_init(); });
}

}  // namespace

MusicDecoder::~MusicDecoder() { Close(); }

int MusicDecoder::Open(const uint8_t* data, size_t size) {
  Close();
  if (!data || size == 0) return -1;
  InitLibraryOnce();
  int err = MPG123_OK;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  if (!h) return err != MPG123_OK ? err : -1;
  m_source = {data, size, 0};
  mpg123_param(h, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0.0);
  mpg123_param(h, MPG123_PREFRAMES, 8, 0.0);
  long rate = 0;
  int channels = 0, encoding = 0;
  if ((err = mpg123_replace_reader_handle(h, ReadMemory, SeekMemory, nullptr)) != MPG123_OK ||
      (err = mpg123_open_handle(h, &m_source)) != MPG123_OK ||
      (err = mpg123_getformat(h, &rate, &channels, &encoding)) != MPG123_OK) {
    mpg123_delete(h);
    return err;
  }
  // MPG123_FORCE_FLOAT gives float output at the stream's own rate and
  // channels; a build whose float is not 32 bits cannot feed the device.
  if (encoding != MPG123_ENC_FLOAT_32) err = MPG123_BAD_OUTFORMAT;
  if (err != MPG123_OK || (err = mpg123_scan(h)) != MPG123_OK) {
    mpg123_delete(h);
    return err;
  }
  const off_t length = mpg123_length(h);
  m_handle = h;
  m_rate = static_cast<int>(rate);
  m_channels = channels;
  m_length = length > 0 ? static_cast<uint64_t>(length) : 0;
  return 0;
}

void MusicDecoder::Close() {
  if (!m_handle) return;
  mpg123_close(m_handle);
  mpg123_delete(m_handle);
  m_handle = nullptr;
  m_rate = m_channels = 0;
  m_length = 0;
}

bool MusicDecoder::SeekToFrame(uint64_t frame) {
  if (!m_handle) return false;
  // Past the end is the end: a frame beyond what off_t holds would turn
  // negative and land at the start of the music instead of in silence.
  if (frame > m_length) frame = m_length;
  return mpg123_seek(m_handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
}

size_t MusicDecoder::ReadFrames(float* out, size_t frames) {
  if (!m_handle || !out || frames == 0) return 0;
  const size_t frameBytes = sizeof(float) * static_cast<size_t>(m_channels);
  unsigned char* dst = reinterpret_cast<unsigned char*>(out);
  size_t wanted = frames * frameBytes, got = 0;
  while (got < wanted) {
    size_t done = 0;
    const int err = mpg123_read(m_handle, dst + got, wanted - got, &done);
    got += done;
    if (err == MPG123_NEW_FORMAT) continue;
    if (err != MPG123_OK || done == 0) break;  // end of stream or damage
  }
  return got / frameBytes;
}
