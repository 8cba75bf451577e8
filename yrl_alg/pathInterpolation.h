#ifndef PATHINTERPOLATION_H
#define PATHINTERPOLATION_H

#include <cstdint>
#include <vector>

#include "robotCommon.h"

// Path parameter helpers of the kinematics library: arcs through three points, blended
// multi-segment Cartesian paths, a cubic B-spline through joint waypoints and spherical
// interpolation between two orientations.

// Twelve times the clamped uniform cubic B-spline segment bases: row m multiplies t^m,
// column j the j-th of the segment's four control points.
extern const int16_t uBSplines3Interp12T[4][4];
extern const int16_t uBSplines3Interp12T1[4][4];
extern const int16_t uBSplines3Interp12T2[4][4];
extern const int16_t uBSplines3Interp12TNM1[4][4];
extern const int16_t uBSplines3Interp12TN[4][4];

// Circle through the positions of the first three waypoints. transArray (16 doubles, row-major)
// receives the circle frame: x towards the first point, z the plane normal, origin the centre.
// distance is the arc length from the first to the third point through the second.
// Returns 0; -1 two points coincide (also: fewer than three waypoints, no transArray, a
// non-finite point or points so far out that the circle overflows); -2 the points are
// collinear; -3 all three coincide. The outputs are written only on 0.
char cartesianTrackArcParaLib(std::vector<wayPoint_S> waypoint_ptr, double *transArray,
                              double &radius, double &distance);

// Blend arcs of a path through N >= 3 points, each corner replaced by an arc that begins and
// ends blendR before and after it. Outputs: node_s (2N - 3), radius (N - 2), arcYVect (N - 1),
// arcZVect (N - 2). Returns 0; -2 a segment too short for its blends (arcYVect[0] then holds
// the two segment lengths and the corner index), also for a segment whose length is not finite,
// fewer than three points, a negative blendR or a missing output; -4 a corner sharper than one
// degree.
// A corner where the path goes straight on needs no arc: its blend has zero length and sits on
// the corner point (node_s[2i] == node_s[2i + 1], the path length to that point), radius[i] is
// 0 and arcZVect[i] is a unit vector perpendicular to the path. Every node is a path length.
char cartesianTrackMovepParaLib(std::vector<wayPoint_S> wp, float blendR, double *node_s,
                                double *radius, Pos *arcYVect, Pos *arcZVect);

// Cubic B-spline through the joint vectors of N >= 5 waypoints, (N - 1) * steps samples with
// steps = dtn * 10000 / controlFreq. Works in ubsplinesPool, which needs 10 * N + 12 doubles.
// Only jointpos of the samples is computed; their position and orientation are zero.
// Returns 0; 1 bad sizes (too few points, pool too small, no pool, zero frequency);
// 2 no output vector; 3 no control points (a non-finite joint, or joints so large that the
// samples would overflow). point_road is written only on 0.
char uBSpline3InterpLib(std::vector<wayPoint_S> waypointVec, std::vector<wayPoint_S> *point_road,
                        float dtn, bool jointMove, unsigned int controlFreq, double *ubsplinesPool,
                        int poolSize);

// Interpolates between start and end at fraction h; angle is the angle between the two
// quaternions as 4-vectors. Below minRotDegree it spins start about spinAxis (when given) or
// returns end. The result is not normalised, except where the sine of angle is too small to
// divide by (below 1e-9): start and end are then equal or opposite, one rotation (q and -q),
// and the result is end scaled to unit length.
void sphericalInterpolationLib(Ori &res, Ori start, Ori end, double angle, double h,
                               double minRotDegree, double *spinAxis);

#endif
