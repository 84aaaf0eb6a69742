// The model registry: every model and level format behind one handle.
#pragma once

void Model_Init(int stage);
void Model_Reset();
void Model_FreeAll();
