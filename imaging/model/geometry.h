// Integer geometry for the views' mouse interaction: snapping a drag, hit tests
// and distances to segments and polylines.
#pragma once
#include <cstdint>

#include "platform/rtl/types.h"

namespace kv {

// The distance routines answer this for "too far to measure".
constexpr double kFarDistance = 1000000.0;

// Snaps (X, Y) so that the segment from the anchor is vertical, horizontal or diagonal.
void SnapDragPoint(int32_t AnchorX, int32_t AnchorY, int32_t& X, int32_t& Y);
// True when the segment's bounding box overlaps R, edges included.
bool SegmentBoxHitsRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, const TRect& R);
// 2: B lies inside A; 1: B crosses A's border; 0: otherwise.
int32_t RectRelation(const TRect& A, const TRect& B);
// For an ordered rectangle, edges included.
bool IMPointInsideRect(int32_t X, int32_t Y, const TRect& R);
// The same for a rectangle whose corners may be in any order.
bool PointInRectAny(int32_t X, int32_t Y, const TRect& R);

double PointDistance(const TPoint& A, const TPoint& B);
double PointSegmentDistance(const TPoint& P, const TPoint& End1, const TPoint& End2);
// Each point maps to Round(Offset + Scale * (value - Origin)) per axis; the least
// distance to any of the mapped segments, kFarDistance with no segment.
double PointPolylineDistance(const TPoint& P, const TPoint* Points, int32_t Count, double XScale, double YScale,
                             int32_t XOffset, int32_t YOffset, int32_t XOrigin, int32_t YOrigin);

}  // namespace kv
