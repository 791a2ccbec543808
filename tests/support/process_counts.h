// What this process holds, counted before and after some work to show that
// the work gave back what it took.
#pragma once

// Kernel handles: GetProcessHandleCount says 0 under Wine.
int HandleCount();
// GDI objects: Wine's GetGuiResources says 0 too.
int GdiObjectCount();
int ThreadCount();
