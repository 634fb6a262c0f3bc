// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QPainter>
#include <Qt>

// Enumerations and event types of the dual-thumb track bar. Ordinal order matters: the
// window definitions store these values by position.

enum class TOrientation { toHorizontal, toVertical };
enum class TTrackStyle { trUserDrawn, trFlat, trRaised, trLowered };
enum class TThumbStyle {
  tsUserDrawn,
  tsRectangle,
  tsRaisedRectangle,
  tsLoweredRectangle,
  tsSmallPointer,
  tsMediumPointer,
  tsLargePointer
};
enum class TTickStyle { tiUserDrawn, tiLine, tiSquare, tiRaisedSquare, tiLoweredSquare };
enum class TTickOrientation { toTopLeft, toBottomRight, toBoth };
// How a waveform of two channels is drawn: one envelope of both, or each in its own half of
// the track (left above right).
enum class TWaveformLayout { wlMixed, wlChannels };
// A stretch of the sound marked over the waveform, in seconds from its start.
struct TMarkedStretch {
  double From = 0;
  double To = 0;
};

class TTrackBar2;

// Events are single assignable handlers (std::function members taking the sender), the same
// style as the audio components' events, which cannot use Qt signals. The names carry
// "TrackBar" where a plain one (TNotifyEvent) already belongs to the audio components.
using TTrackBarNotifyEvent = std::function<void(TTrackBar2* sender)>;
using TTrackBarPaintEvent = std::function<void(TTrackBar2* sender, QPainter& canvas)>;
using TDrawTrackEvent = std::function<void(TTrackBar2* sender, QPainter& canvas)>;
using TDrawThumbEvent = std::function<void(TTrackBar2* sender, QPainter& canvas, int x, int y)>;
using TDrawTickEvent =
    std::function<void(TTrackBar2* sender, QPainter& canvas, int x, int y, int position)>;
using TTrackBarMouseEvent = std::function<void(TTrackBar2* sender, Qt::MouseButton button,
                                               Qt::KeyboardModifiers shift, int x, int y)>;
using TTrackBarKeyEvent =
    std::function<void(TTrackBar2* sender, int key, Qt::KeyboardModifiers shift)>;
