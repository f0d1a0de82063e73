#include "UnelevatedShell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include "ApartmentScope.h"
#include "ComPtr.h"
#include "UniqueResource.h"

namespace {

// The desktop window's shell dispatch object, reached from the shell windows
// list as the desktop's own background folder view sees it.
ComPtr<IShellDispatch2> DesktopShellDispatch()
{
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                reinterpret_cast<void**>(windows.put()))))
        return {};
    VARIANT location;
    VariantInit(&location);
    VARIANT root;
    VariantInit(&root);
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) != S_OK ||
        !desktop)
        return {};
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop.As(services)) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                      reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser->QueryActiveShellView(view.put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), reinterpret_cast<void**>(background.put()))) ||
        FAILED(background.As(folderView)) || FAILED(folderView->get_Application(application.put())) ||
        FAILED(application.As(shell)))
        return {};
    return shell;
}

}  // namespace

bool OpenWithUserShell(const wchar_t* target)
{
    const ComScope com;
    ComPtr<IShellDispatch2> shell = DesktopShellDispatch();
    if (!shell)
        return false;
    UniqueBstr file = MakeBstr(target);
    UniqueBstr verb = MakeBstr(L"open");
    VARIANT none;
    VariantInit(&none);
    VARIANT operation;
    VariantInit(&operation);
    operation.vt = VT_BSTR;
    operation.bstrVal = verb.get();
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.get(), none, none, operation, show));
}
