// Writers of small test videos and sounds: every frame a known solid colour with a white marker
// in its top-left corner, sounds a steady tone.
#pragma once
#include <cstdint>
#include <string>

// The colour of frame `index` (red, green, blue), distinct for the first 64 frames.
void Tools_TestFrameColour(int index, uint8_t rgb[3]);
// Side of the top-left marker square for a picture of this size.
int Tools_TestMarkerSize(int width, int height);
// Fills width x height BGRA pixels, top row first: the frame's colour and the marker.
void Tools_MakeTestFrame(int index, int width, int height, uint8_t* bgra);
// Nearest frame number (0..63) for a decoded colour.
int Tools_MatchTestFrame(const uint8_t rgb[3]);

struct TestVideoSpec {
  std::string container = "avi";  // "avi" or "asf" (".wmv")
  std::string codec = "mjpeg";    // "mjpeg", "mpeg4", "wmv2", ...
  int width = 64, height = 48;
  int frames = 12;
  int fps = 24;
  int gop = 0;                    // key-frame spacing (0 = every frame)
  std::string audioCodec;         // empty: no sound stream in the file
  int sampleRate = 22050, channels = 1;
};

// Writes the video; false on failure.
bool Tools_WriteTestVideo(const std::string& path, const TestVideoSpec& spec);
// Writes a tone of `seconds` (440 Hz) as a sound-only file (e.g. "asf" + "wmav2" for ".wma").
bool Tools_WriteTestSound(const std::string& path, const std::string& container, const std::string& codec,
                          int sampleRate, int channels, double seconds);
// Writes a zip archive (e.g. "main/data00.twk") holding the test video as the member `member`.
bool Tools_WriteVideoArchive(const std::string& archivePath, const std::string& member, const TestVideoSpec& spec);
