// The gateway's root key, fixed at build time: the PEM text of an RSA public key, from the file
// that the CMake cache variable VEXO_RELEASE_PUBLIC_KEY names. It signs the key lists of release
// keys (release_trust.h). Empty by default: releases are then not checked (release_check.h).
#pragma once

extern const char RELEASE_PUBLIC_KEY_PEM[];
// The number of that root in the chain of root records (1 for the first root; a plug-in built after
// a rotation holds the newer root and its number, VEXO_RELEASE_ROOT_VERSION).
extern const int RELEASE_ROOT_VERSION;
