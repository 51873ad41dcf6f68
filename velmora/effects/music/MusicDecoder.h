// Compressed music decoded from memory: MPEG audio through libmpg123, read
// from a byte buffer the caller keeps alive, delivered as interleaved 32-bit
// float frames at the stream's own rate and channel count.
//
// Seeks are sample-exact: the whole stream is scanned once at open (the
// frame index makes later seeks cheap), and MPG123_PREFRAMES decodes enough
// frames ahead of a seek target to refill the layer-3 bit reservoir.
//
// Not thread-safe: the owner serialises reads and seeks (the music effect
// holds one lock around both).
#pragma once
#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

class MusicDecoder {
 public:
  MusicDecoder() = default;
  ~MusicDecoder();
  MusicDecoder(const MusicDecoder&) = delete;
  MusicDecoder& operator=(const MusicDecoder&) = delete;

  // 0 on success, else a libmpg123 error code (or -1 for no data).
  int Open(const uint8_t* data, size_t size);
  void Close();

  int SampleRate() const { return m_rate; }
  int Channels() const { return m_channels; }
  uint64_t LengthFrames() const { return m_length; }

  bool SeekToFrame(uint64_t frame);
  // Reads up to `frames` frames into `out` (frames * Channels() floats);
  // returns how many were delivered (fewer at the end of the stream).
  size_t ReadFrames(float* out, size_t frames);

  // The memory source the reader callbacks walk.
  struct Source {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
  };

 private:
  mpg123_handle_struct* m_handle = nullptr;
  Source m_source;
  int m_rate = 0;
  int m_channels = 0;
  uint64_t m_length = 0;
};
