// What the capture tool writes: PNG frames, a video through ffmpeg, and
// per-frame statistics.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vt::capture {

// Writes an 8-bit RGB PNG; false on any failure.
bool WritePng(const std::string& path, const uint8_t* rgb, unsigned width, unsigned height);

// Raw frames piped into ffmpeg, then muxed with the music.
class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    bool Open(const std::string& file, unsigned width, unsigned height, double fps);
    bool AddFrame(const uint8_t* rgb);
    // Closes the pipe and adds the music (starting at musicStart seconds of
    // video time, or none when musicFile is empty or musicStart < 0).
    bool Finish(const std::string& musicFile, double musicStart, double duration);

private:
    std::string m_file;
    std::string m_tempFile;
    FILE* m_pipe = nullptr;
    size_t m_frameBytes = 0;
};

// "[####      ]  42%  124.5 / 297.0 s" on stderr, redrawn in place a few
// times a second; one plain line per tenth when stderr is not a terminal.
void DrawProgress(double t, double end);

}  // namespace vt::capture
