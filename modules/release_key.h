// The gateway's root key, fixed at build time: the PEM text of an RSA public key, from the file
// that the CMake cache variable VEXO_RELEASE_PUBLIC_KEY names. It signs the key lists of release
// keys (release_trust.h). Empty by default: releases are then not checked (release_check.h).
#pragma once

extern const char RELEASE_PUBLIC_KEY_PEM[];
