#include "scene/tritree.h"
int TriTree_ReadHmp(const char*, float*, int*) { return 0; }
void TriTree_BuildOrLoad(TriTree*, const char*, float, int) {}
void TriTree_FreeNodes(TriTree*) {}
void TriTree_Trace(TriTree*, TraceRequest*) {}
void TriTree_CollectBox(TriTree*, const float[3], const float[3], int, int32_t*, int*, int) {}
void TriTree_RayTriangle(TriTree*, int, const float*, const float*, const float*, TraceRequest*, TriTreeTriangle*, uint32_t) {}
void TriTree_BoxTriangle(TriTree*, int, const float*, const float*, const float*, TraceRequest*, TriTreeTriangle*, uint32_t) {}
