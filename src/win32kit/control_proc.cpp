#include "control_proc.h"

#include <oleacc.h>

#include <cstddef>
#include <memory>
#include <new>
#include <optional>

#include "failure.h"
#include "late_bound.h"
#include "program_name.h"

namespace zendrel {

namespace {

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The standard accessible object of a control, with its own name.
class NamedAccessible final : public IAccessible {
  public:
    NamedAccessible(IAccessible* inner, const std::wstring& name) : inner_(inner), name_(name) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // Other interfaces (IEnumVARIANT, IOleWindow ...) are the standard object's.
        return inner_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return inner_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return inner_->Invoke(id, iid, lcid, flags, params, result, exception, argument);
    }

    // IAccessible: the name is ours, the rest the standard object's.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child)) return inner_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = late::SysAllocString(name_.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return inner_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return inner_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return inner_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return inner_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return inner_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return inner_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return inner_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return inner_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return inner_->put_accValue(child, value);
    }

  private:
    ~NamedAccessible() { inner_->Release(); }

    IAccessible* inner_;
    std::wstring name_;
    LONG references_ = 1;
};

constexpr UINT kMsgKeptRows = WM_APP + 0x4E;  // answers the list box's KeptRows, or 0

// What the procedure keeps for a control: the procedure it had, the name, and
// for a list box the rows.
struct ControlState {
    WNDPROC original = nullptr;
    std::wstring name;  // empty: the system's own name
    std::optional<KeptRows> rows;
};

// Keeps the rows in step with the list box's own, whoever changes them.
void FollowRows(KeptRows& kept, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT result) {
    switch (msg) {
        case LB_ADDSTRING:
        case LB_INSERTSTRING:
            if (result >= 0 && static_cast<std::size_t>(result) <= kept.rows.size())
                kept.rows.emplace(kept.rows.begin() + result, reinterpret_cast<LPCWSTR>(lParam));
            else if (result >= 0)
                kept.complete = false;
            break;
        case LB_DELETESTRING:
            if (result != LB_ERR && wParam < kept.rows.size())
                kept.rows.erase(kept.rows.begin() + static_cast<std::ptrdiff_t>(wParam));
            break;
        case LB_RESETCONTENT:
            kept.rows.clear();
            kept.complete = true;
            break;
        case LB_DIR:
        case LB_ADDFILE:
            kept.complete = false;  // rows the list box made itself
            break;
        default:
            break;
    }
}

// The control's procedure put in front of its own. It finds its state in the
// control's GWLP_USERDATA (which no system control uses) rather than through
// the common controls' subclass list: there every message to the control pays
// for a property look-up, which under some systems costs as much as a hundred
// plain messages, and a list of 100 000 rows takes a message per row.
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    auto* state = reinterpret_cast<ControlState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kMsgKeptRows) return state->rows ? reinterpret_cast<LRESULT>(&*state->rows) : 0;
    if (msg == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT && !state->name.empty()) {
        // A control may be asked before anything else of the thread entered
        // the apartment.
        late::EnterComApartment();
        IAccessible* inner = nullptr;
        if (SUCCEEDED(late::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible,
                                                      reinterpret_cast<void**>(&inner)))) {
            auto* accessible = new (std::nothrow) NamedAccessible(inner, state->name);
            if (accessible) {
                LRESULT result = late::LresultFromObject(IID_IAccessible, wParam, accessible);
                accessible->Release();
                return result;
            }
            inner->Release();
        }
    } else if (msg == WM_NCDESTROY) {
        std::unique_ptr<ControlState> owned(state);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(owned->original));
        return CallWindowProcW(owned->original, hwnd, msg, wParam, lParam);
    }
    LRESULT result = CallWindowProcW(state->original, hwnd, msg, wParam, lParam);
    if (state->rows) {
        try {
            FollowRows(*state->rows, msg, wParam, lParam, result);
        } catch (...) {
            state->rows->complete = false;  // no room for the copy: the list box answers
        }
    }
    return result;
}

// The state of the control, put in front of its procedure the first time.
ControlState& StateOf(HWND control) {
    if (GetWindowLongPtrW(control, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ControlProc))
        return *reinterpret_cast<ControlState*>(GetWindowLongPtrW(control, GWLP_USERDATA));
    auto state = std::make_unique<ControlState>();
    state->original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
    if (!state->original || GetWindowLongPtrW(control, GWLP_USERDATA) != 0)
        throw Failure(kInvalidArgument, ProgramName());
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.get()));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc));
    return *state.release();  // the control's WM_NCDESTROY frees it
}

}  // namespace

void SetAccessibleName(HWND control, std::wstring name) {
    StateOf(control).name = std::move(name);
}

void KeepListRows(HWND list) {
    ControlState& state = StateOf(list);
    if (state.rows) return;
    KeptRows kept;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    kept.complete = count == 0;  // rows already there are not copied
    state.rows = std::move(kept);
}

KeptRows* KeptListRows(HWND list) {
    return reinterpret_cast<KeptRows*>(SendMessageW(list, kMsgKeptRows, 0, 0));
}

OwnProcedureOnly::OwnProcedureOnly(HWND control) : control_(control) {
    LONG_PTR current = GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (current != reinterpret_cast<LONG_PTR>(ControlProc)) return;
    auto* state = reinterpret_cast<ControlState*>(GetWindowLongPtrW(control, GWLP_USERDATA));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->original));
    ours_ = current;
}

OwnProcedureOnly::~OwnProcedureOnly() {
    if (ours_) SetWindowLongPtrW(control_, GWLP_WNDPROC, ours_);
}

}  // namespace zendrel
