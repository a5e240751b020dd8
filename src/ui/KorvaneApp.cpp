#include "ui/KorvaneApp.h"

#include "app/RunLog.h"
#include "ui/KorvaneDlg.h"

bool CKorvaneApp::InitInstance() {
    Log("CKorvaneApp::InitInstance()");
    // The sockets layer of Linux needs no start-up, so the "sockets initialization failed"
    // refusal cannot happen here; the server reports its own failures when it starts.
    CKorvaneDlg dialog;
    dialog.OnInitDialog();
    dialog.exec();
    return false;
}
