/* The smallest ordinary Win32 program that shows a dialog: one button,
 * from a dialog resource of the same kind as the launcher's menu, built
 * the usual way with the C runtime.  The benchmark compares the launcher's
 * start-up, idle cost and memory with it.  Built with the launcher's own
 * resources instead, it shows the launcher's menu (also dialog 101). */
#include <windows.h>

#define IDD_MINDIALOG 101

static INT_PTR CALLBACK MinDialogDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (message == WM_COMMAND) {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MINDIALOG), NULL, MinDialogDlgProc, 0);
    return 0;
}
