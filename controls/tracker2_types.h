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

class TTrackBar2;

// Events are single assignable handlers (std::function members), as everywhere in Trimora:
// the audio components below the windows cannot use Qt signals, and one style serves both.
using TNotifyEvent = std::function<void(TTrackBar2& Sender)>;
using TPaintEvent = std::function<void(TTrackBar2& Sender, QPainter& Canvas)>;
using TDrawTrackEvent = std::function<void(TTrackBar2& Sender, QPainter& Canvas)>;
using TDrawThumbEvent = std::function<void(TTrackBar2& Sender, QPainter& Canvas, int X, int Y)>;
using TDrawTickEvent =
    std::function<void(TTrackBar2& Sender, QPainter& Canvas, int X, int Y, int Position)>;
using TMouseEvent = std::function<void(TTrackBar2& Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TTrackBar2& Sender, int Key, Qt::KeyboardModifiers Shift)>;
