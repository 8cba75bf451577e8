#ifndef ROBOTKINEMATICS_H
#define ROBOTKINEMATICS_H

#include "robotCommon.h"

// Library joint angles are the negation of the SDK's. Rotation matrices are nine doubles,
// row-major, columns = child axes in the parent frame. Pointer arguments keep the exported
// signatures; only the arrays documented as outputs are written.

// DH lengths and robot model.
kezu_robot_type getRobotType();
bool setDhParaLen(kezu_robot_type robotType);
void getDhPara(double &A3, double &A4, double &D1, double &D2, double &D5, double &D6,
               double *D4 = nullptr);
void modifyDhParaLen(float *da, float *dd);

// Forward and inverse kinematics.
void ComputeFk_QMV(const double *joints, double *eetrans, double *eerot);
double antiSinCos(double sA, double cA);
// Negates R06[0..5], positions[0] and positions[1] in place. Returns the solution count (0..8),
// 0 for a pose that is not finite or whose rotation is all zero; jointResults is
// [joint][solution].
int ComputeIkLib(double *jointpos, double *R06, double *positions, double jointResults[6][8]);
void getJacobiLib(double Jacobi[6][6], double *j);
// False (diffAngle untouched) when the damped matrix cannot be inverted or the step is not finite.
bool dampedLeastSquare(double Jacobi[6][6], double *diff, double *diffAngle);
// Tridiagonal solve without pivot search; false (ddPn untouched) on a zero or non-finite pivot
// or a solution that is not finite.
bool arrayInvChasing(double *ddPn, double *A, double *y, int dim, bool full_A);

// Pose algebra.
void QuaternionMultply(Ori &end_ori, Ori left_ori, bool rightMul);

// User and tool frames, linear algebra. The user frame's outputs are written only on success;
// degenerate points (coincident or collinear) fail.
bool userCoordinateCalibLib(wayPoint_S *waypointptr, char methods, double *eetrans, double *eerot,
                            double *Porg, double &dotValue);
// Overwrites rot and pos. False on degenerate poses: a singular or non-finite normal matrix,
// tip points closer than 0.01 m, collinear tips or twice the same orientation. eetrans is
// written only when the tool centre point is finite; toolPoseRot is meaningful only on success.
bool toolCoordinateCalibLib(double *rot, double *pos, int posWpNum, char poseCalib,
                            double poseRot[3][9], double posePos[3][3], bool waypoint_check,
                            double checkThr, double *eetrans, double *toolPoseRot);
// In place; false when a pivot vanishes or the inverse is not finite (a then holds no inverse).
bool positiveDefiniteMatrixInverse(double *a, int n);
bool matrixMultiplication(double *product, double *left, double *right, unsigned m, unsigned n,
                          unsigned l, bool reset, bool noLeftTranspose);
void vectorCrossProduct(Pos &res, Pos a, Pos b, bool norm);

#endif
