// The operator commands of vexo-gateway around release keys (release_trust.h has the model):
//   keygen --out NAME                     a key pair NAME.pem, NAME.pub.pem
//   keylist --root ROOT.pem --version N --expires DAYS --key RELEASE.pub.pem... OUT
//                                         the signed key list OUT/plugin/file/MirovanKeys.<N>.lst
//   rotate-root --old ROOT.pem --new NEWROOT.pem OUT
//                                         the next root record OUT/plugin/file/MirovanRoot.<R>.rec
//   verify --root ROOT.pub.pem [--root-version N] OUT
//                                         checks the release folder as a plug-in built with that root would
// Each refuses bad input with a message and writes nothing then. argv[0] is the command's name;
// each returns the exit status.
#pragma once

int Keygen_Run(int argc, char** argv);
int KeyList_Run(int argc, char** argv);
int RotateRoot_Run(int argc, char** argv);
int Verify_Run(int argc, char** argv);
