#include "imaging/processing/neural_quantizer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "imaging/processing/quant_source.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

constexpr int32_t kCycles = 100;           // learning cycles
constexpr int32_t kNetBiasShift = 4;       // colour values in the net are 16 x bytes
constexpr int32_t kIntBiasShift = 16;      // freq and bias in 1/65536
constexpr int32_t kIntBias = 1 << kIntBiasShift;
constexpr int32_t kGammaShift = 10;
constexpr int32_t kBetaShift = 10;
constexpr int32_t kBeta = kIntBias >> kBetaShift;                          // 64
constexpr int32_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift);      // 65536
constexpr int32_t kRadiusBiasShift = 6;
constexpr int32_t kRadiusDec = 30;
constexpr int32_t kInitAlpha = 1 << 10;
constexpr int32_t kRadBias = 1 << 8;
constexpr int64_t kAlphaRadBias = int64_t(1) << 18;
constexpr int32_t kPrimes[4] = {499, 491, 487, 503};

}  // namespace

int32_t TNeuralQuantizer::SamplingFactor(int32_t Quality, int64_t Pixels) {
  if (Quality < 0) {  // automatic
    if (Pixels < 2000) return 1;
    const double f = (13.0 * static_cast<double>(Pixels) - 26000.0) / 148000.0 + 2.0;
    return static_cast<int32_t>(std::clamp<int64_t>(Round(f), 1, 30));
  }
  const int32_t q = std::min(Quality, 100);
  return Trunc32((100 - q) / 100.0 * 29) + 1;
}

TNeuralQuantizer::TNeuralQuantizer(const TQuantSource& Source, int32_t Colours, int32_t Quality)
    : FNetSize(std::clamp(Colours, 1, 256)),
      FSampleFac(SamplingFactor(Quality, Source.Pixels())),
      FNetwork(new TNeuron[FNetSize]()),
      FBias(new int32_t[FNetSize]()),
      FFreq(new int32_t[FNetSize]()),
      FRadPower(new int32_t[std::max(FNetSize >> 3, 1)]()) {
  InitNet();
  Learn(Source);
  UnbiasNet();
  for (int32_t i = 0; i < FNetSize; ++i) {
    FPalette[i].b = static_cast<uint8_t>(FNetwork[i][0]);
    FPalette[i].g = static_cast<uint8_t>(FNetwork[i][1]);
    FPalette[i].r = static_cast<uint8_t>(FNetwork[i][2]);
  }
  InxBuild();
}

TNeuralQuantizer::~TNeuralQuantizer() = default;

void TNeuralQuantizer::InitNet() {
  for (int32_t i = 0; i < FNetSize; ++i) {
    const int32_t v = (i << (kNetBiasShift + 8)) / FNetSize;
    FNetwork[i][0] = FNetwork[i][1] = FNetwork[i][2] = v;
    FFreq[i] = kIntBias / FNetSize;
    FBias[i] = 0;
  }
}

void TNeuralQuantizer::FillRadPower(int32_t Rad, int32_t Alpha) {
  for (int32_t i = 0; i < Rad; ++i) FRadPower[i] = Alpha * (((Rad * Rad - i * i) * kRadBias) / (Rad * Rad));
}

void TNeuralQuantizer::Learn(const TQuantSource& Source) {
  const int64_t pixels = Source.Pixels();
  const int32_t width = Source.Width();
  const int32_t alphaDec = 30 + (FSampleFac - 1) / 3;
  const int64_t samples = pixels / FSampleFac;
  const int64_t delta = std::max<int64_t>(samples / kCycles, 1);
  int32_t alpha = kInitAlpha;
  int32_t radius = (FNetSize >> 3) << kRadiusBiasShift;
  int32_t rad = radius >> kRadiusBiasShift;
  if (rad <= 1) rad = 0;
  FillRadPower(rad, alpha);

  // The step is a prime that does not divide the byte length, so the walk
  // visits pixels spread over the whole picture.
  const int64_t bytes = 3 * pixels;
  int32_t step = kPrimes[3];
  for (int32_t k = 0; k < 3; ++k)
    if (bytes % kPrimes[k] != 0) {
      step = kPrimes[k];
      break;
    }

  int64_t pos = 0;
  for (int64_t i = 1; i <= samples; ++i) {
    const TBGRPixel& p = Source.Row(static_cast<int32_t>(pos / width))[pos % width];
    const int32_t b = p.b << kNetBiasShift;
    const int32_t g = p.g << kNetBiasShift;
    const int32_t r = p.r << kNetBiasShift;
    const int32_t j = Contest(b, g, r);
    AlterSingle(alpha, j, b, g, r);
    if (rad) AlterNeigh(rad, j, b, g, r);
    // Modulo rather than one subtraction: a picture smaller than the step
    // would otherwise walk past its last pixel.
    pos = (pos + step) % pixels;
    if (i % delta == 0) {
      alpha -= alpha / alphaDec;
      radius -= radius / kRadiusDec;
      rad = radius >> kRadiusBiasShift;
      if (rad <= 1) rad = 0;
      FillRadPower(rad, alpha);
    }
  }
}

// Finds the closest neuron (unbiased) and the best neuron for learning (biased
// by how often each has won), and updates the frequencies and biases.
int32_t TNeuralQuantizer::Contest(int32_t B, int32_t G, int32_t R) {
  int32_t bestd = INT32_MAX, bestBiasd = INT32_MAX;
  int32_t bestPos = -1, bestBiasPos = -1;
  for (int32_t i = 0; i < FNetSize; ++i) {
    const TNeuron& n = FNetwork[i];
    const int32_t dist = std::abs(n[0] - B) + std::abs(n[1] - G) + std::abs(n[2] - R);
    if (dist < bestd) {
      bestd = dist;
      bestPos = i;
    }
    const int32_t biasDist = dist - Sar32(FBias[i], kIntBiasShift - kNetBiasShift);
    if (biasDist < bestBiasd) {
      bestBiasd = biasDist;
      bestBiasPos = i;
    }
    const int32_t betaFreq = FFreq[i] >> kBetaShift;
    FFreq[i] -= betaFreq;
    FBias[i] = WrapAdd(FBias[i], betaFreq << kGammaShift);
  }
  FFreq[bestPos] += kBeta;
  FBias[bestPos] = WrapAdd(FBias[bestPos], -kBetaGamma);
  return bestBiasPos;
}

void TNeuralQuantizer::AlterSingle(int32_t Alpha, int32_t I, int32_t B, int32_t G, int32_t R) {
  TNeuron& n = FNetwork[I];
  n[0] -= static_cast<int32_t>(int64_t(Alpha) * (n[0] - B) / kInitAlpha);
  n[1] -= static_cast<int32_t>(int64_t(Alpha) * (n[1] - G) / kInitAlpha);
  n[2] -= static_cast<int32_t>(int64_t(Alpha) * (n[2] - R) / kInitAlpha);
}

// Moves the neighbours within Rad of neuron I toward the colour, less the farther they are.
void TNeuralQuantizer::AlterNeigh(int32_t Rad, int32_t I, int32_t B, int32_t G, int32_t R) {
  const int32_t lo = std::max(I - Rad, -1);
  const int32_t hi = std::min(I + Rad, FNetSize);
  int32_t j = I + 1, k = I - 1, q = 0;
  auto move = [&](TNeuron& n, int64_t a) {
    n[0] -= static_cast<int32_t>(a * (n[0] - B) / kAlphaRadBias);
    n[1] -= static_cast<int32_t>(a * (n[1] - G) / kAlphaRadBias);
    n[2] -= static_cast<int32_t>(a * (n[2] - R) / kAlphaRadBias);
  };
  while (j < hi || k > lo) {
    const int64_t a = FRadPower[++q];
    if (j < hi) move(FNetwork[j++], a);
    if (k > lo) move(FNetwork[k--], a);
  }
}

void TNeuralQuantizer::UnbiasNet() {
  for (int32_t i = 0; i < FNetSize; ++i) {
    // Learning keeps every component within 0..4080; the clamp only guards the index table.
    for (int32_t c = 0; c < 3; ++c) FNetwork[i][c] = std::clamp(FNetwork[i][c] / 16, 0, 255);
    FNetwork[i][3] = i;
  }
}

// Sorts the net on green and points netindex[g] at the first neuron of each green.
void TNeuralQuantizer::InxBuild() {
  int32_t previousCol = 0, startPos = 0;
  for (int32_t i = 0; i < FNetSize; ++i) {
    int32_t smallPos = i, smallVal = FNetwork[i][1];
    for (int32_t j = i + 1; j < FNetSize; ++j)
      if (FNetwork[j][1] <= smallVal) {
        smallPos = j;
        smallVal = FNetwork[j][1];
      }
    if (smallPos != i)
      for (int32_t c = 0; c < 4; ++c) std::swap(FNetwork[i][c], FNetwork[smallPos][c]);
    if (smallVal != previousCol) {
      FNetIndex[previousCol] = startPos;
      for (int32_t j = previousCol + 1; j < smallVal; ++j) FNetIndex[j] = i;
      previousCol = smallVal;
      startPos = i;
    }
  }
  FNetIndex[previousCol] = startPos;
  for (int32_t j = previousCol + 1; j < 256; ++j) FNetIndex[j] = FNetSize - 1;
}

int32_t TNeuralQuantizer::RGBIndex(uint32_t Color) const {
  const int32_t b = static_cast<int32_t>(Color & 0xFF);
  const int32_t g = static_cast<int32_t>((Color >> 8) & 0xFF);
  const int32_t r = static_cast<int32_t>((Color >> 16) & 0xFF);
  int32_t bestd = 1000;  // above the largest distance, 3 * 255
  int32_t best = -1;
  int32_t i = FNetIndex[g];
  int32_t j = i - 1;
  while (i < FNetSize || j >= 0) {
    if (i < FNetSize) {
      const TNeuron& p = FNetwork[i];
      int32_t dist = p[1] - g;
      if (dist >= bestd) i = FNetSize;
      else {
        ++i;
        dist = std::abs(dist) + std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
    if (j >= 0) {
      const TNeuron& p = FNetwork[j];
      int32_t dist = g - p[1];
      if (dist >= bestd) j = -1;
      else {
        --j;
        dist = std::abs(dist) + std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
  }
  return best;
}

void TNeuralQuantizer::GetPalette(TBGRPixel* Palette) const { std::copy(FPalette, FPalette + FNetSize, Palette); }

}  // namespace kv
