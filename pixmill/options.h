#pragma once
// The conversion options read from the command line.

#include <cstdint>

/// Longest input or output name, in characters.
constexpr int kMaxNameLength = 255;

struct ConvertOptions {
  char inputName[kMaxNameLength + 1] = "";
  char outputName[kMaxNameLength + 1] = "";
  bool tileU = false;
  bool tileV = false;
  bool fourBit = false;
  bool transparent = false;
  bool translucent = false;
  bool heckbert = false;
  bool histogram = false;
  bool blend = true;
  bool savePbfs = false;
  bool pointSample = false;
  int32_t levelLimit = 32;
  bool noCmap = false;
  int32_t maskBits = -1;  ///< -1: not given
  int32_t paletteStart = 0;
  bool srb = false;
  bool flat = false;
  float srbWidth = -1.0f;  ///< metres; -1: not given
  float srbHeight = -1.0f;
  float centreX = -1.0f;   ///< pixels; -1: not given
  float centreY = -1.0f;
  bool keyColour = false;
  int32_t keyRed = 0;
  int32_t keyGreen = 0;
  int32_t keyBlue = 0;
  bool info = false;
};

/// The kind of the input picture.
enum class InputKind { kPcx, kTarga, kPng };
