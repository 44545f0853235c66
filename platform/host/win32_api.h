/* Our own declarations of the Win32 subset that the launcher uses, for the
 * host build.  Written from what the launcher needs: the types, constants
 * and calls it names, with the values Win32 documents.  The simulated
 * platform (sim_*.cpp) implements every call declared here. */
#ifndef WIN32_API_H
#define WIN32_API_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD;
typedef unsigned int UINT;
typedef int LONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef DWORD REGSAM;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;

typedef void *HANDLE;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;
typedef struct HKEY__ *HKEY;
typedef struct HICON__ *HICON;
typedef HICON HCURSOR;
typedef struct HBRUSH__ *HBRUSH;
typedef struct HMENU__ *HMENU;
typedef void *HGDIOBJ;
typedef HKEY *PHKEY;

#define TRUE 1
#define FALSE 0

#define LOWORD(l) ((WORD)((ULONG_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((ULONG_PTR)(l) >> 16) & 0xffff))
#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)

typedef LRESULT (CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (CALLBACK *TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagPOINT { LONG x, y; } POINT;
typedef struct tagRECT { LONG left, top, right, bottom; } RECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct tagWINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x, y, cx, cy;
    UINT flags;
} WINDOWPOS;

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
} OSVERSIONINFOA;

typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize;
    DWORD dwXCountChars, dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION;

typedef struct _SECURITY_ATTRIBUTES SECURITY_ATTRIBUTES;

/* Messages. */
#define WM_CREATE            0x0001
#define WM_DESTROY           0x0002
#define WM_ACTIVATE          0x0006
#define WM_CLOSE             0x0010
#define WM_QUIT              0x0012
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_KEYDOWN           0x0100
#define WM_INITDIALOG        0x0110
#define WM_COMMAND           0x0111
#define WM_SYSCOMMAND        0x0112
#define WM_TIMER             0x0113
#define WM_ENTERIDLE         0x0121

#define WA_INACTIVE 0
#define WA_ACTIVE   1
#define SC_CLOSE    0xF060
#define SC_RESTORE  0xF120
#define VK_ESCAPE   0x1B
#define BN_CLICKED  0

#define IDOK     1
#define IDCANCEL 2

/* Window classes and windows. */
#define CS_VREDRAW         0x0001
#define CS_HREDRAW         0x0002
#define CS_OWNDC           0x0020
#define CS_BYTEALIGNCLIENT 0x1000

#define WS_POPUP    0x80000000u
#define WS_MINIMIZE 0x20000000u
#define WS_SYSMENU  0x00080000u

#define SW_SHOWNORMAL 1
#define SW_MINIMIZE   6
#define SWP_NOSIZE    0x0001
#define SWP_NOMOVE    0x0002

#define IDC_ARROW   MAKEINTRESOURCEA(32512)
#define BLACK_BRUSH 4
#define MB_OK       0x0000

/* Registry. */
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define KEY_READ           0x00020019
#define ERROR_SUCCESS      0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED  5

/* Messages queue and waits. */
#define PM_NOREMOVE   0x0000
#define PM_REMOVE     0x0001
#define STILL_ACTIVE  259
#define WAIT_OBJECT_0 0x00000000
#define WAIT_TIMEOUT  0x00000102
#define WAIT_FAILED   0xFFFFFFFFu
#define INFINITE      0xFFFFFFFFu

/* ADVAPI32 */
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);

/* KERNEL32 */
BOOL GetVersionExA(OSVERSIONINFOA *lpVersionInformation);
DWORD GetVersion(void);
DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart);
BOOL SetCurrentDirectoryA(LPCSTR lpPathName);
BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                    SECURITY_ATTRIBUTES *lpProcessAttributes, SECURITY_ATTRIBUTES *lpThreadAttributes,
                    BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                    LPCSTR lpCurrentDirectory, STARTUPINFOA *lpStartupInfo,
                    PROCESS_INFORMATION *lpProcessInformation);
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL CloseHandle(HANDLE hObject);

/* USER32 */
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
ATOM RegisterClassA(const WNDCLASSA *lpWndClass);
HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                     int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam);
BOOL UpdateWindow(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL DestroyWindow(HWND hWnd);
void PostQuitMessage(int nExitCode);
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
BOOL EndDialog(HWND hDlg, INT_PTR nResult);
BOOL WaitMessage(void);
DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll,
                                DWORD dwMilliseconds, DWORD dwWakeMask);
BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL TranslateMessage(const MSG *lpMsg);
LRESULT DispatchMessageA(const MSG *lpMsg);
BOOL ClipCursor(const RECT *lpRect);

/* GDI32 */
HGDIOBJ GetStockObject(int i);

#endif
