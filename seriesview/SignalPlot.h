#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"

#include <QString>

#include <cstdint>
#include <span>

namespace Platform
{
class Canvas;
}
class CGraphGrid;

// Drawing shared by the two windows that show an indentation-depth curve (the guidance
// window and the signal viewer): their fonts, the grey title band, the curve and the
// circle around the sample the curve check pointed at.

// The probe sends this many depth samples per second.
inline constexpr double kSamplesPerSecond = 155.0;
// The depth scale in which the curves are shown.
inline constexpr int kCurveDepthScale = 513;

// The windows' font of this (negative, character) height, normal weight.
Platform::Font SignalFont(int height);

// A sample as a depth in micrometres (hundredths of a micrometre on the wire), or in
// thousandths of an inch.
double SampleDepth(uint16_t sample, bool imperial);

// The title band of a window: (client left, client top + 5, client right, top + 5 + twice
// the title's height) in the title font.
Platform::Rect TitleBandRect(Platform::Canvas& dc, const Platform::Rect& client, const QString& title);
// Fills the band grey, writes the title centred 12 units below its top on that background
// and frames it; the title font is selected on return.
void DrawTitleBand(Platform::Canvas& dc, const Platform::Rect& band, const QString& title);

// One anti-aliased line through the samples, mapped with the chart's unrounded mappings.
void DrawSignalCurve(Platform::Canvas& dc, const CGraphGrid& grid, std::span<const uint16_t> samples,
                     bool imperial);
// A red circle 40 x 40 pixels centred on the sample.
void DrawSampleMark(Platform::Canvas& dc, const CGraphGrid& grid, std::span<const uint16_t> samples,
                    int index, bool imperial);
