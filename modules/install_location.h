// Where the payment modules live: the install root, the directory chain Vexo\<name>\ActiveX\temp
// below it, the module directory and the process's current directory.
#pragma once

// Separator between path levels: a backslash on Windows, a slash natively.
extern const char PATH_SEPARATOR;

constexpr int INSTALL_ROOT_CAPACITY = 256;  // install root buffer
constexpr int MODULE_DIR_CAPACITY = 256;    // module directory (the command object's m_moduleDir)

constexpr char MAKER_DIR_NAME[] = "Vexo";
constexpr char DEFAULT_PRODUCT_DIR[] = "Mirovan70";  // product directory when no name is given
constexpr char MODULE_DIR_NAME[] = "ActiveX";
constexpr char TEMP_DIR_NAME[] = "temp";
// The payment modules, loaded from the module directory.
constexpr char CONTROL_MODULE_NAME[] = "MVcontrol70.dll";
constexpr char MAIN_MODULE_NAME[] = "MVmainUI70.dll";
// Every path built inside the module directory must fit this, terminator included: the buffers
// that hold such paths, and below the 260 characters of a Windows path.
constexpr int MODULE_PATH_CAPACITY = 256;

enum : int {
  ERR_OLD_WINDOWS = -3,     // Windows earlier than NT 6.0
  ERR_BAD_DIR_NAME = -215,  // a product directory name that would leave the maker directory
  ERR_NO_INSTALL_ROOT = -216,  // no install root, or the chain or a path inside it does not fit its buffers
};

// 0 on Windows Vista (NT 6.0) and later, ERR_OLD_WINDOWS on earlier systems. Always 0 natively.
int CheckOsVersion();

// Fills buffer with the install root and returns it, or returns null (buffer emptied) when there is
// none or it does not fit capacity - 1 characters.
// Windows NT 6.0 and later: %USERPROFILE%\AppData\LocalLow; earlier: the Program Files folder.
// Natively: $XDG_DATA_HOME when absolute, else the home folder's .local/share.
char* GetInstallRoot(char* buffer, int capacity);

// Writes dir, the separator, name and suffix into out. False, with out emptied, when the path does
// not fit capacity - 1 characters: a cut path would name another file.
bool Path_Join(char* out, int capacity, const char* dir, const char* name, const char* suffix = "");

// Length of the longest path the plug-in builds inside a module directory of dirLength characters:
// the version tables, their signatures and the private names they are written under, and the
// payment modules with the names made beside them (ModuleFile_LongestPath), with the widest private
// part. A module directory is usable only when this is below MODULE_PATH_CAPACITY.
int ModuleDir_LongestPath(int dirLength);
// Length of the longest path built for the module file fileName in a module directory of
// dirLength characters: the file, its download, its unpacked copy and the copy moved aside.
int ModuleFile_LongestPath(int dirLength, const char* fileName);

// Makes dir the process's current directory; 0, or a non-zero failure.
int SetCurrentDir(const char* dir);

// True when name is a single path level that stays where it is put and names what it says: no
// slash, backslash or drive colon, no "..", none of the characters Windows refuses in a file name
// (* ? " < > | and control characters), no trailing dot or space (which Windows drops), and no
// name Windows maps to a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with any
// extension or letter case). Bytes are looked at one by one. The empty text passes.
bool IsPlainDirName(const char* name);

// Creates root\Vexo, root\Vexo\<name>, root\Vexo\<name>\ActiveX (copied into moduleDir and made the
// current directory) and root\Vexo\<name>\ActiveX\temp, one level at a time. A null name means
// "Mirovan70"; an empty name leaves an empty level (two separators in a row).
// Returns 0 once the chain is laid out (creation failures are not examined: they show when the
// directory is used). A name that is not a plain directory name, a missing install root, a chain
// longer than capacity - 1 characters or a module directory whose longest path would not fit
// (ModuleDir_LongestPath) creates nothing and leaves moduleDir empty: ERR_BAD_DIR_NAME, or
// ERR_NO_INSTALL_ROOT for the chains that do not fit, or ERR_NO_MEMORY.
int PrepareModuleDir(const char* name, char* moduleDir, int capacity);
