// How many files and other handles the running process holds, for the soak figures.
#pragma once

// Open file descriptors (Unix) or object handles (Windows); -1 when unknown.
long OpenHandles_Count();
