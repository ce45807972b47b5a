// PNG frames, video through ffmpeg, progress bar.
#include "tools/capture/outputs.h"

#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace vt::capture {

namespace {
// Shell-quotes an argument for popen/system.
std::string Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}
}  // namespace

bool WritePng(const std::string& path, const uint8_t* rgb, unsigned width, unsigned height)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_RGB;
    // Frames are written many a second: favour speed over size.
    png.flags = PNG_IMAGE_FLAG_FAST;
    return png_image_write_to_file(&png, path.c_str(), 0, rgb, 0, nullptr) != 0;
}

VideoEncoder::~VideoEncoder()
{
    if (m_pipe)
        pclose(m_pipe);
    if (!m_tempFile.empty())
        std::remove(m_tempFile.c_str());
}

bool VideoEncoder::Open(const std::string& file, unsigned width, unsigned height, double fps)
{
    m_file = file;
    m_tempFile = file + ".video-only.mkv";
    m_frameBytes = (size_t)width * height * 3;
    char size[32], rate[32];
    std::snprintf(size, sizeof(size), "%ux%u", width, height);
    std::snprintf(rate, sizeof(rate), "%.6f", fps);
    const std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::string(size) +
                                " -r " + rate + " -i - -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                                Quote(m_tempFile);
    m_pipe = popen(command.c_str(), "w");
    return m_pipe != nullptr;
}

bool VideoEncoder::AddFrame(const uint8_t* rgb)
{
    return m_pipe && std::fwrite(rgb, 1, m_frameBytes, m_pipe) == m_frameBytes;
}

bool VideoEncoder::Finish(const std::string& musicFile, double musicStart, double duration)
{
    if (!m_pipe)
        return false;
    const int status = pclose(m_pipe);
    m_pipe = nullptr;
    if (status != 0)
        return false;
    std::string command;
    char numbers[96];
    if (!musicFile.empty() && musicStart >= 0.0) {
        std::snprintf(numbers, sizeof(numbers), " -itsoffset %.6f ", musicStart);
        command = "ffmpeg -loglevel error -y -i " + Quote(m_tempFile) + numbers + "-i " + Quote(musicFile) +
                  " -map 0:v -map 1:a -c:v copy -c:a aac -b:a 192k";
        std::snprintf(numbers, sizeof(numbers), " -t %.6f ", duration);
        command += numbers + Quote(m_file);
    } else {
        command = "ffmpeg -loglevel error -y -i " + Quote(m_tempFile) + " -c copy " + Quote(m_file);
    }
    const bool ok = std::system(command.c_str()) == 0;
    std::remove(m_tempFile.c_str());
    m_tempFile.clear();
    return ok;
}

void DrawProgress(double t, double end)
{
    static const bool s_bTerminal = isatty(fileno(stderr)) != 0;
    static auto s_lastDrawn = std::chrono::steady_clock::time_point();
    static int s_lastTenth = -1;
    const double f = end > 0.0 ? std::min(1.0, std::max(0.0, t / end)) : 1.0;
    const int percent = (int)(f * 100.0 + 0.5);
    if (!s_bTerminal) {
        // A log gets one line per tenth of the way.
        if (percent / 10 != s_lastTenth) {
            s_lastTenth = percent / 10;
            std::fprintf(stderr, "%3d%%  %6.1f / %.1f s\n", percent, t, end);
        }
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - s_lastDrawn < std::chrono::milliseconds(200) && percent < 100)
        return;
    s_lastDrawn = now;
    const int width = 40;
    const int filled = (int)(f * width + 0.5);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%  %6.1f / %.1f s", filled, "########################################",
                 width - filled, "", percent, t, end);
    std::fflush(stderr);
}

}  // namespace vt::capture
