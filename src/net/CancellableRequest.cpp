#include "net/CancellableRequest.h"

#include "net/WinHttpError.h"

#include <algorithm>
#include <utility>

// What a step's completion left for the waiting thread. Written on
// WinHTTP's threads before the event is set, read after the wait.
struct CCancellableRequest::stState {
    explicit stState(size_t readBufferBytes) : buffer(readBufferBytes)
    {
        done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~stState()
    {
        if (done)
            CloseHandle(done);
    }
    stState(const stState&) = delete;
    stState& operator=(const stState&) = delete;

    HANDLE done = nullptr; // auto-reset: one completion per step
    DWORD completion = 0;  // the WINHTTP_CALLBACK_STATUS_* that ended the step
    DWORD error = 0;       // its error for REQUEST_ERROR
    DWORD bytes = 0;       // bytes read for READ_COMPLETE, available for DATA_AVAILABLE
    std::vector<char> buffer;
};

namespace {

const DWORD kCallbacks = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;

} // namespace

CCancellableRequest::CCancellableRequest(std::vector<HANDLE> cancelEvents, size_t readBufferBytes)
    : m_cancelEvents(std::move(cancelEvents)), m_state(new stState(readBufferBytes))
{
}

CCancellableRequest::~CCancellableRequest()
{
    // Once handed over, the closing callback frees the state, possibly on
    // another thread after a step still in flight has ended.
    m_request.Close();
    m_connect.Close();
    if (!m_handedOver)
        delete m_state;
}

void CALLBACK CCancellableRequest::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD length)
{
    stState* state = reinterpret_cast<stState*>(context);
    if (!state)
        return;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        delete state;
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        state->error = info ? static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError : 0;
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        state->bytes = length;
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        state->bytes = info ? *static_cast<const DWORD*>(info) : 0;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    default:
        return; // progress notices and other completions end no step of ours
    }
    state->completion = status;
    SetEvent(state->done);
}

DWORD CCancellableRequest::Open(HINTERNET session, const std::wstring& host, INTERNET_PORT port,
                                const std::wstring& path, bool secure)
{
    if (!m_state->done)
        return LastWinHttpError(ERROR_OUTOFMEMORY);
    m_connect.Attach(WinHttpConnect(session, host.c_str(), port, 0));
    if (!m_connect)
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    m_request.Attach(WinHttpOpenRequest(m_connect.Handle(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!m_request)
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(m_state);
    if (!WinHttpSetOption(m_request.Handle(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    if (WinHttpSetStatusCallback(m_request.Handle(), OnStatus, kCallbacks, 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    m_handedOver = true;
    return 0;
}

DWORD CCancellableRequest::Await(DWORD completion)
{
    std::vector<HANDLE> handles;
    handles.push_back(m_state->done);
    handles.insert(handles.end(), m_cancelEvents.begin(), m_cancelEvents.end());
    // The completion comes first when it is there together with a cancel.
    DWORD wait = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    if (wait != WAIT_OBJECT_0) {
        m_cancelled = true;
        return ERROR_WINHTTP_OPERATION_CANCELLED;
    }
    if (m_state->completion == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
        return m_state->error ? NormalizeWinHttpError(m_state->error) : ERROR_WINHTTP_INTERNAL_ERROR;
    return m_state->completion == completion ? 0 : ERROR_WINHTTP_INTERNAL_ERROR;
}

DWORD CCancellableRequest::Send()
{
    if (m_cancelled || !m_handedOver)
        return m_cancelled ? ERROR_WINHTTP_OPERATION_CANCELLED : ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(m_state);
    if (!WinHttpSendRequest(m_request.Handle(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            context))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    if (DWORD error = Await(WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE))
        return error;
    if (!WinHttpReceiveResponse(m_request.Handle(), nullptr))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    return Await(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE);
}

DWORD CCancellableRequest::QueryAvailable(DWORD* available)
{
    *available = 0;
    if (m_cancelled || !m_handedOver)
        return m_cancelled ? ERROR_WINHTTP_OPERATION_CANCELLED : ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    if (!WinHttpQueryDataAvailable(m_request.Handle(), nullptr))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    if (DWORD error = Await(WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE))
        return error;
    *available = m_state->bytes;
    return 0;
}

DWORD CCancellableRequest::Read(size_t offset, DWORD bytes, DWORD* got)
{
    *got = 0;
    if (m_cancelled || !m_handedOver)
        return m_cancelled ? ERROR_WINHTTP_OPERATION_CANCELLED : ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    if (offset >= m_state->buffer.size())
        return ERROR_INVALID_PARAMETER;
    DWORD room = static_cast<DWORD>(std::min<size_t>(m_state->buffer.size() - offset, bytes));
    if (!WinHttpReadData(m_request.Handle(), m_state->buffer.data() + offset, room, nullptr))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    if (DWORD error = Await(WINHTTP_CALLBACK_STATUS_READ_COMPLETE))
        return error;
    *got = m_state->bytes;
    return 0;
}

const char* CCancellableRequest::Data() const
{
    return m_state->buffer.data();
}

size_t CCancellableRequest::BufferSize() const
{
    return m_state->buffer.size();
}
