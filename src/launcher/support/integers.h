// Small signed 32-bit helpers.
#ifndef ONDRELLE_INTEGERS_H
#define ONDRELLE_INTEGERS_H

inline int MinInt(int a, int b) { return a < b ? a : b; }
inline int MaxInt(int a, int b) { return a > b ? a : b; }
// Lowered to `high` first, then raised to `low`: when the bounds cross, low wins.
inline int BoundInt(int value, int low, int high) { return MaxInt(MinInt(value, high), low); }

#endif
