// OLE drop target of the main window: accepts Unicode text in global memory, or else a list of files
// (from Explorer), and hands the text or the first file's path to a CEventHandler. Knows nothing of
// windows or the engine.
#pragma once

#include <windows.h>
#include <ole2.h>

class CDropTarget : public IDropTarget
{
public:
    // Where dropped text goes. The text and the path are valid only during the call. OnDropFile
    // says whether the file was taken.
    class CEventHandler
    {
    public:
        virtual ~CEventHandler() {}
        virtual void OnDropText(const wchar_t* /*text*/) {}
        virtual bool OnDropFile(const wchar_t* /*path*/) { return false; }
    };

    // Count 1 for the creator; the object deletes itself on its last Release, so it lives on the
    // heap only.
    CDropTarget();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
    STDMETHODIMP DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;

    LONG m_refCount;
    IDataObject* m_dataObject;       // borrowed for the drag in progress (null once it leaves or drops); never AddRef'd
    CEventHandler* m_eventHandler;   // borrowed; the handler outlives the registration

private:
    ~CDropTarget() {}
};
