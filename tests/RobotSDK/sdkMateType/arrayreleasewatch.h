#ifndef ARRAYRELEASEWATCH_H
#define ARRAYRELEASEWATCH_H

// Counts how often one watched array is released with delete[]; this test program replaces
// the array allocation functions to do so.
void watchArrayRelease(const void *array);
int watchedArrayReleases();

#endif
