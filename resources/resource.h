/* Resource and control identifiers, shared by the resource script and the
 * launcher's code. */
#ifndef RESOURCE_H
#define RESOURCE_H

#define IDD_MENU 101
#define IDI_SETUP 102

/* The menu's buttons; the identifier a button carries is the choice the
 * menu ends with when it is pressed.  EXIT carries IDCANCEL (2), so that
 * Escape and the close box mean EXIT too. */
#define IDC_INSTALL_DIRECTX 1000
#define IDC_INSTALL_PRODUCT 1001

/* The dialog manager's own control classes, as a dialog template names
 * them: by atom, which the resource compiler has no names for. */
#define CLASS_ATOM_BUTTON 0x0080
#define CLASS_ATOM_STATIC 0x0082

#endif
