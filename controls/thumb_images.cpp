#include "controls/thumb_images.h"

#include <cstdlib>
#include <vector>

namespace tracker2_images {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

QImage BlankImage(QSize Size, QRgb Fill) {
  if (Size.width() <= 0 || Size.height() <= 0) return {};
  QImage I(Size, QImage::Format_RGB32);
  I.fill(Fill);
  return I;
}

// Pointer outline as (width, height) with the tip up; the other directions are rotations.
QSize PointerSize(TThumbStyle Style) {
  switch (Style) {
    case TThumbStyle::tsSmallPointer:
      return {11, 16};
    case TThumbStyle::tsMediumPointer:
      return {15, 22};
    default:
      return {21, 30};
  }
}

bool InsideUpPointer(int X, int Y, QSize Up) {
  if (X < 0 || Y < 0 || X >= Up.width() || Y >= Up.height()) return false;
  const int Half = Up.width() / 2;
  return Y >= Half || std::abs(X - Half) <= Y;
}

// Maps a pixel of the rotated image back onto the tip-up outline.
bool InsidePointer(int X, int Y, QSize Up, TPointerDirection D) {
  switch (D) {
    case TPointerDirection::Up:
      return InsideUpPointer(X, Y, Up);
    case TPointerDirection::Down:
      return InsideUpPointer(X, Up.height() - 1 - Y, Up);
    case TPointerDirection::Left:
      return InsideUpPointer(Y, X, Up);
    case TPointerDirection::Right:
      return InsideUpPointer(Y, Up.height() - 1 - X, Up);
  }
  return false;
}

}  // namespace

bool IsPointerStyle(TThumbStyle Style) {
  return Style == TThumbStyle::tsSmallPointer || Style == TThumbStyle::tsMediumPointer ||
         Style == TThumbStyle::tsLargePointer;
}

bool IsRectangleStyle(TThumbStyle Style) {
  return Style == TThumbStyle::tsRectangle || Style == TThumbStyle::tsRaisedRectangle ||
         Style == TThumbStyle::tsLoweredRectangle;
}

TPointerThumb MakePointerThumb(TThumbStyle Style, TPointerDirection Direction, QColor Face) {
  const QSize Up = PointerSize(Style);
  const bool Sideways =
      Direction == TPointerDirection::Left || Direction == TPointerDirection::Right;
  const QSize Size = Sideways ? Up.transposed() : Up;
  TPointerThumb T{BlankImage(Size, kBlack), BlankImage(Size, kWhite)};
  auto Inside = [&](int X, int Y) { return InsidePointer(X, Y, Up, Direction); };
  // Edge pixels touch the outside; the ring inside them touches an edge pixel. Each ring is
  // lit on its top-left faces and shaded on its bottom-right faces, like a raised button.
  auto OnEdge = [&](int X, int Y) {
    return Inside(X, Y) &&
           (!Inside(X - 1, Y) || !Inside(X + 1, Y) || !Inside(X, Y - 1) || !Inside(X, Y + 1));
  };
  for (int Y = 0; Y < Size.height(); ++Y) {
    for (int X = 0; X < Size.width(); ++X) {
      if (!Inside(X, Y)) continue;
      T.Mask.setPixel(X, Y, kBlack);
      QRgb C = Face.rgb();
      if (OnEdge(X, Y)) {
        C = (!Inside(X + 1, Y) || !Inside(X, Y + 1)) ? kBlack : kWhite;
      } else if (OnEdge(X - 1, Y) || OnEdge(X + 1, Y) || OnEdge(X, Y - 1) || OnEdge(X, Y + 1)) {
        C = (OnEdge(X + 1, Y) || OnEdge(X, Y + 1)) ? kGray : kSilver;
      }
      T.Image.setPixel(X, Y, C);
    }
  }
  return T;
}

QImage MakeRectangleThumb(QSize Size, TThumbStyle Style, QColor Face) {
  QImage I = BlankImage(Size, Face.rgb());
  if (I.isNull()) return I;
  QPainter P(&I);
  if (Style == TThumbStyle::tsRectangle) FrameRect(P, I.rect(), Qt::black);
  if (Style == TThumbStyle::tsRaisedRectangle) DrawBevel(P, I.rect(), true);
  if (Style == TThumbStyle::tsLoweredRectangle) DrawBevel(P, I.rect(), false);
  return I;
}

QImage MakeTickImage(int Size, TTickStyle Style, QColor Color) {
  QImage I = BlankImage({Size, Size}, Color.rgb());
  if (I.isNull()) return I;
  QPainter P(&I);
  const QRect R = I.rect();
  if (Style == TTickStyle::tiSquare) FrameRect(P, R, Qt::black);
  if (Style == TTickStyle::tiRaisedSquare || Style == TTickStyle::tiLoweredSquare) {
    const bool Raised = Style == TTickStyle::tiRaisedSquare;
    P.fillRect(R.left(), R.top(), R.width(), 1, QColor(Raised ? kWhite : kBlack));
    P.fillRect(R.left(), R.top(), 1, R.height(), QColor(Raised ? kWhite : kBlack));
    P.fillRect(R.left(), R.bottom(), R.width(), 1, QColor(Raised ? kBlack : kWhite));
    P.fillRect(R.right(), R.top(), 1, R.height(), QColor(Raised ? kBlack : kWhite));
  }
  return I;
}

QImage MakeDitherPattern(QColor TrackColor) {
  QImage I = BlankImage({8, 8}, TrackColor.rgb());
  const QRgb Odd = TrackColor.rgb() == kSilver ? kGray : kSilver;
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 8; ++X)
      if ((X + Y) % 2 == 1) I.setPixel(X, Y, Odd);
  return I;
}

void FrameRect(QPainter& P, QRect R, QColor Color) {
  if (R.isEmpty()) return;
  P.fillRect(R.left(), R.top(), R.width(), 1, Color);
  P.fillRect(R.left(), R.bottom(), R.width(), 1, Color);
  P.fillRect(R.left(), R.top(), 1, R.height(), Color);
  P.fillRect(R.right(), R.top(), 1, R.height(), Color);
}

void DrawBevel(QPainter& P, QRect R, bool Raised) {
  const QColor Light[2] = {QColor(kWhite), QColor(kSilver)};
  const QColor Dark[2] = {QColor(kBlack), QColor(kGray)};
  for (int Ring = 0; Ring < 2 && !R.isEmpty(); ++Ring) {
    const QColor& TopLeft = Raised ? Light[Ring] : Dark[Ring];
    const QColor& BottomRight = Raised ? Dark[Ring] : Light[Ring];
    P.fillRect(R.left(), R.top(), R.width(), 1, TopLeft);
    P.fillRect(R.left(), R.top(), 1, R.height(), TopLeft);
    P.fillRect(R.left(), R.bottom(), R.width(), 1, BottomRight);
    P.fillRect(R.right(), R.top(), 1, R.height(), BottomRight);
    R.adjust(1, 1, -1, -1);
  }
}

QImage ComposeMasked(const QImage& Under, const QImage& Mask, const QImage& Image) {
  QImage Out = Image.convertToFormat(QImage::Format_RGB32);
  const QImage U = Under.convertToFormat(QImage::Format_RGB32);
  const QImage M = Mask.convertToFormat(QImage::Format_RGB32);
  for (int Y = 0; Y < Out.height(); ++Y) {
    for (int X = 0; X < Out.width(); ++X) {
      const QRgb Below = U.valid(X, Y) ? U.pixel(X, Y) : kBlack;
      const QRgb Keep = M.valid(X, Y) ? M.pixel(X, Y) : kBlack;
      Out.setPixel(X, Y, 0xFF000000u | (Below & Keep) | Out.pixel(X, Y));
    }
  }
  return Out;
}

void FloodFillPattern(QImage& Target, QPoint Start, const QImage& Pattern) {
  if (!Target.valid(Start) || Pattern.isNull()) return;
  const QRgb Old = Target.pixel(Start);
  const int W = Target.width();
  std::vector<bool> Seen(static_cast<size_t>(W) * Target.height(), false);
  std::vector<QPoint> Todo{Start};
  Seen[static_cast<size_t>(Start.y()) * W + Start.x()] = true;
  while (!Todo.empty()) {
    const QPoint P = Todo.back();
    Todo.pop_back();
    Target.setPixel(P, Pattern.pixel(P.x() % Pattern.width(), P.y() % Pattern.height()));
    for (const QPoint N :
         {P + QPoint(1, 0), P - QPoint(1, 0), P + QPoint(0, 1), P - QPoint(0, 1)}) {
      if (!Target.valid(N)) continue;
      const size_t Index = static_cast<size_t>(N.y()) * W + N.x();
      if (Seen[Index] || Target.pixel(N) != Old) continue;
      Seen[Index] = true;
      Todo.push_back(N);
    }
  }
}

}  // namespace tracker2_images
