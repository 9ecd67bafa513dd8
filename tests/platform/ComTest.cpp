#include "platform/Com.h"
#include "platform/ComPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr IID IID_ICounter = {0x5D3B6A1E, 0x2F4C, 0x4B8E, {0x9A, 0x10, 0x3C, 0x44, 0x7E, 0x21, 0x6B, 0x90}};
constexpr IID IID_INotImplemented = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
constexpr CLSID CLSID_Counter = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr CLSID CLSID_Unregistered = {0xDEADBEEF, 0x0000, 0x1111, {0, 1, 2, 3, 4, 5, 6, 7}};

struct ICounter : IUnknown {
    virtual int Value() = 0;

protected:
    ~ICounter() = default;
};

// A reference-counted object that counts how many of it are alive, so tests can
// check that every reference handed out was released.
class Counter final : public ICounter {
public:
    static std::atomic<int> live;

    Counter() { ++live; }
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICounter) {
            *ppv = static_cast<ICounter*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    int Value() override { return 42; }
    ULONG Refs() const { return refs_; }

private:
    ~Counter() { --live; }
    std::atomic<ULONG> refs_{1};
};
std::atomic<int> Counter::live{0};

HRESULT CreateCounter(REFIID riid, void** ppv)
{
    Counter* c = new Counter();
    const HRESULT hr = c->QueryInterface(riid, ppv);
    c->Release();
    return hr;
}

HRESULT FailingFactory(REFIID, void** ppv)
{
    *ppv = nullptr;
    return E_OUTOFMEMORY;
}

// Claims success without handing out an object.
HRESULT BrokenFactory(REFIID, void**) { return S_OK; }

// Apartment state is per thread, so each scenario gets a thread of its own.
void OnNewThread(const std::function<void()>& body)
{
    std::thread t(body);
    t.join();
}

uint32_t Bits(HRESULT hr) { return static_cast<uint32_t>(hr); }

TEST(HResult, ConstantsHaveTheirWindowsValues)
{
    const struct {
        const char* name;
        HRESULT value;
        uint32_t bits;
    } cases[] = {
        {"S_OK", S_OK, 0},
        {"S_FALSE", S_FALSE, 1},
        {"E_NOTIMPL", E_NOTIMPL, 0x80004001u},
        {"E_NOINTERFACE", E_NOINTERFACE, 0x80004002u},
        {"E_POINTER", E_POINTER, 0x80004003u},
        {"E_ABORT", E_ABORT, 0x80004004u},
        {"E_FAIL", E_FAIL, 0x80004005u},
        {"E_UNEXPECTED", E_UNEXPECTED, 0x8000FFFFu},
        {"E_OUTOFMEMORY", E_OUTOFMEMORY, 0x8007000Eu},
        {"E_INVALIDARG", E_INVALIDARG, 0x80070057u},
        {"E_ACCESSDENIED", E_ACCESSDENIED, 0x80070005u},
        {"CLASS_E_NOAGGREGATION", CLASS_E_NOAGGREGATION, 0x80040110u},
        {"REGDB_E_CLASSNOTREG", REGDB_E_CLASSNOTREG, 0x80040154u},
        {"CO_E_NOTINITIALIZED", CO_E_NOTINITIALIZED, 0x800401F0u},
        {"RPC_E_CHANGED_MODE", RPC_E_CHANGED_MODE, 0x80010106u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Bits(c.value), c.bits);
        EXPECT_EQ(SUCCEEDED(c.value), c.bits < 0x80000000u);
        EXPECT_EQ(FAILED(c.value), c.bits >= 0x80000000u);
    }
}

TEST(HResult, SucceededIsASignTest)
{
    static_assert(SUCCEEDED(S_FALSE) && SUCCEEDED(0x7FFFFFFF) && FAILED(INT32_MIN) && FAILED(-1), "sign test");
    EXPECT_TRUE(SUCCEEDED(2));
    EXPECT_TRUE(FAILED(E_FAIL));
}

TEST(HResult, FromWin32)
{
    const struct {
        DWORD code;
        uint32_t bits;
    } cases[] = {
        {0, 0},                       // ERROR_SUCCESS
        {2, 0x80070002u},             // ERROR_FILE_NOT_FOUND
        {5, 0x80070005u},             // ERROR_ACCESS_DENIED
        {0x57, 0x80070057u},          // ERROR_INVALID_PARAMETER
        {0x12345, 0x80072345u},       // only the low word is kept
        {0xFFFFFFFFu, 0x8007FFFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(Bits(HRESULT_FROM_WIN32(c.code)), c.bits);
    }
    EXPECT_EQ(HRESULT_FROM_WIN32(5), E_ACCESSDENIED);
}

TEST(Guid, EqualityComparesEveryField)
{
    GUID base = IID_ICounter;
    EXPECT_TRUE(base == IID_ICounter);
    EXPECT_TRUE(IsEqualGUID(base, IID_ICounter));
    for (int field = 0; field < 11; ++field) {
        SCOPED_TRACE(field);
        GUID changed = base;
        if (field == 0)
            changed.Data1 ^= 1;
        else if (field == 1)
            changed.Data2 ^= 1;
        else if (field == 2)
            changed.Data3 ^= 1;
        else
            changed.Data4[field - 3] ^= 1;
        EXPECT_TRUE(changed != base);
        EXPECT_FALSE(IsEqualGUID(changed, base));
    }
}

TEST(Guid, TextRoundTrip)
{
    const struct {
        const char* text;
        const char* canonical;
    } cases[] = {
        {"{00000000-0000-0000-C000-000000000046}", "{00000000-0000-0000-C000-000000000046}"},
        {"{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}", "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}"},
        {"{3c78b8e2-6c4d-11d1-ade2-0000f8754b97}", "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}"},
        {"3C78B8E2-6C4D-11D1-ADE2-0000F8754B97", "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}"},
        {"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        GUID g = {};
        ASSERT_TRUE(GuidFromString(c.text, &g));
        EXPECT_EQ(GuidToString(g), c.canonical);
    }
    GUID unknown = {};
    ASSERT_TRUE(GuidFromString("{00000000-0000-0000-C000-000000000046}", &unknown));
    EXPECT_TRUE(unknown == IID_IUnknown);
    GUID sample = {};
    ASSERT_TRUE(GuidFromString("{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}", &sample));
    EXPECT_EQ(sample.Data1, 0x3C78B8E2u);
    EXPECT_EQ(sample.Data2, 0x6C4D);
    EXPECT_EQ(sample.Data3, 0x11D1);
    EXPECT_EQ(sample.Data4[0], 0xAD);
    EXPECT_EQ(sample.Data4[7], 0x97);
}

TEST(Guid, MalformedTextIsRejectedAndLeavesTheOutputAlone)
{
    const char* cases[] = {
        "",
        "{}",
        "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97",   // no closing brace
        "3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}",   // no opening brace
        "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B9}",   // short
        "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B977}", // long
        "{3C78B8E2-6C4D-11D1-ADE20000F8754B97}",   // missing dash
        "{3C78B8E2-6C4D-11D1-ADE2-0000F8754BG7}",  // not hex
        "{3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}x", // trailing text
        "{+C78B8E2-6C4D-11D1-ADE2-0000F8754B97}",  // sign
        " {3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}", // leading blank
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        GUID g = IID_ICounter;
        EXPECT_FALSE(GuidFromString(text, &g));
        EXPECT_TRUE(g == IID_ICounter);
    }
    GUID g = {};
    EXPECT_FALSE(GuidFromString(nullptr, &g));
    EXPECT_FALSE(GuidFromString("{00000000-0000-0000-C000-000000000046}", nullptr));
}

// CoInitializeEx counts per thread; CoUninitialize undoes one count.
class Apartment : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoRegisterInProcClass(CLSID_Counter, CreateCounter), S_OK); }
    void TearDown() override
    {
        CoUnregisterInProcClass(CLSID_Counter);
        EXPECT_EQ(Counter::live.load(), 0) << "an object was leaked";
    }

    // Whether the calling thread can create objects, released straight away.
    static bool CanCreate()
    {
        void* p = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p);
        if (p != nullptr)
            static_cast<IUnknown*>(p)->Release();
        return hr == S_OK;
    }
};

TEST_F(Apartment, CountsNestedCallsOfTheSameModel)
{
    OnNewThread([] {
        EXPECT_FALSE(CanCreate());
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_TRUE(CanCreate()) << "one count is left";
        CoUninitialize();
        EXPECT_FALSE(CanCreate());
        CoUninitialize(); // an extra call is harmless
        CoUninitialize();
        EXPECT_FALSE(CanCreate());
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "extra calls did not go negative";
        CoUninitialize();
        EXPECT_FALSE(CanCreate());
    });
}

TEST_F(Apartment, ChangingModelFailsWithoutCounting)
{
    const struct {
        DWORD first;
        DWORD second;
    } cases[] = {
        {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED},
        {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        OnNewThread([&] {
            EXPECT_EQ(CoInitializeEx(nullptr, c.first), S_OK);
            EXPECT_EQ(CoInitializeEx(nullptr, c.second), RPC_E_CHANGED_MODE);
            CoUninitialize();
            EXPECT_FALSE(CanCreate()) << "the failed call must not have counted";
            EXPECT_EQ(CoInitializeEx(nullptr, c.second), S_OK) << "a fresh start may pick the other model";
            CoUninitialize();
        });
    }
}

TEST_F(Apartment, HintBitsDoNotChangeTheModel)
{
    OnNewThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | 0x4 /* COINIT_DISABLE_OLE1DDE */), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, 0x8 /* COINIT_SPEED_OVER_MEMORY, multithreaded */), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_FALSE(CanCreate());
    });
}

TEST_F(Apartment, ReservedMustBeNull)
{
    OnNewThread([] {
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
        EXPECT_FALSE(CanCreate()) << "a rejected call does not initialise";
    });
}

TEST_F(Apartment, EachThreadHasItsOwnCount)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_TRUE(CanCreate());
    OnNewThread([] {
        EXPECT_FALSE(CanCreate());
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "another thread may use another model";
        CoUninitialize();
    });
    EXPECT_TRUE(CanCreate());
    CoUninitialize();
    EXPECT_FALSE(CanCreate());
}

TEST_F(Apartment, CreateInstanceErrors)
{
    const struct {
        const char* name;
        bool initialise;
        bool nullOut;
        bool outer;
        DWORD clsctx;
        CLSID clsid;
        IID iid;
        HRESULT expected;
    } cases[] = {
        {"created", true, false, false, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_ICounter, S_OK},
        {"through IUnknown", true, false, false, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_IUnknown, S_OK},
        {"in-process handler", true, false, false, CLSCTX_INPROC_HANDLER, CLSID_Counter, IID_ICounter, S_OK},
        {"any context", true, false, false, CLSCTX_ALL, CLSID_Counter, IID_ICounter, S_OK},
        {"null out-pointer", true, true, false, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_ICounter, E_POINTER},
        {"null out-pointer first", false, true, true, 0, CLSID_Unregistered, IID_ICounter, E_POINTER},
        {"thread not initialised", false, false, false, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_ICounter,
         CO_E_NOTINITIALIZED},
        {"aggregation", true, false, true, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_ICounter, CLASS_E_NOAGGREGATION},
        {"out-of-process only", true, false, false, CLSCTX_LOCAL_SERVER, CLSID_Counter, IID_ICounter,
         REGDB_E_CLASSNOTREG},
        {"no context", true, false, false, 0, CLSID_Counter, IID_ICounter, REGDB_E_CLASSNOTREG},
        {"unknown class", true, false, false, CLSCTX_INPROC_SERVER, CLSID_Unregistered, IID_ICounter,
         REGDB_E_CLASSNOTREG},
        {"interface not offered", true, false, false, CLSCTX_INPROC_SERVER, CLSID_Counter, IID_INotImplemented,
         E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OnNewThread([&] {
            if (c.initialise) {
                ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            }
            Counter* outer = c.outer ? new Counter() : nullptr;
            int junk = 0;
            void* out = &junk; // must be overwritten
            const HRESULT hr = CoCreateInstance(c.clsid, outer, c.clsctx, c.iid, c.nullOut ? nullptr : &out);
            EXPECT_EQ(Bits(hr), Bits(c.expected));
            if (!c.nullOut) {
                EXPECT_EQ(out != nullptr, SUCCEEDED(hr));
                if (out != nullptr && SUCCEEDED(hr)) {
                    auto* counter = static_cast<ICounter*>(out);
                    EXPECT_EQ(counter->Value(), 42);
                    EXPECT_EQ(counter->Release(), 0u) << "the caller held the only reference";
                }
            }
            if (outer != nullptr)
                outer->Release();
            if (c.initialise)
                CoUninitialize();
        });
        EXPECT_EQ(Counter::live.load(), 0);
    }
}

TEST_F(Apartment, RegistryReplacesAndUnregisters)
{
    constexpr CLSID clsid = {0x0BADF00D, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    OnNewThread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        void* out = nullptr;
        EXPECT_EQ(CoRegisterInProcClass(clsid, nullptr), E_INVALIDARG);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), REGDB_E_CLASSNOTREG);

        EXPECT_EQ(CoRegisterInProcClass(clsid, FailingFactory), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);

        EXPECT_EQ(CoRegisterInProcClass(clsid, BrokenFactory), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), E_UNEXPECTED);

        EXPECT_EQ(CoRegisterInProcClass(clsid, CreateCounter), S_OK) << "registering again replaces";
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), S_OK);
        ASSERT_NE(out, nullptr);
        static_cast<ICounter*>(out)->Release();

        EXPECT_EQ(CoUnregisterInProcClass(clsid), S_OK);
        EXPECT_EQ(CoUnregisterInProcClass(clsid), S_FALSE);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), REGDB_E_CLASSNOTREG);
        CoUninitialize();
    });
}

TEST_F(Apartment, RegistryIsSafeAcrossThreads)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 500;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            const CLSID mine = {0xC0FFEE00u + static_cast<uint32_t>(t), 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
            for (int i = 0; i < kRounds; ++i) {
                void* own = nullptr;
                void* shared = nullptr;
                if (CoRegisterInProcClass(mine, CreateCounter) != S_OK ||
                    CoCreateInstance(mine, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &own) != S_OK ||
                    CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &shared) != S_OK ||
                    CoUnregisterInProcClass(mine) != S_OK)
                    ++failures;
                for (void* out : {own, shared})
                    if (out != nullptr)
                        static_cast<ICounter*>(out)->Release();
            }
            CoUninitialize();
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

// ComPtr: every test ends with all Counter objects gone (checked in TearDown).
class ComPtrTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Counter::live.load(), 0) << "a reference was leaked"; }
};

TEST_F(ComPtrTest, RawPointerIsAddRefedAndReleased)
{
    Counter* c = new Counter();
    {
        ComPtr<ICounter> p(c);
        EXPECT_EQ(c->Refs(), 2u);
        EXPECT_EQ(p.Get(), c);
        EXPECT_EQ(p->Value(), 42);
        EXPECT_TRUE(p);
        EXPECT_TRUE(p != nullptr);
    }
    EXPECT_EQ(c->Refs(), 1u);
    c->Release();
}

TEST_F(ComPtrTest, CopyAddRefsAndMoveTransfers)
{
    Counter* c = new Counter();
    ComPtr<ICounter> a;
    a.Attach(c);
    EXPECT_EQ(c->Refs(), 1u) << "Attach takes over the reference";
    {
        ComPtr<ICounter> b(a);
        EXPECT_EQ(c->Refs(), 2u);
        ComPtr<ICounter> moved(std::move(b));
        EXPECT_EQ(c->Refs(), 2u);
        EXPECT_EQ(b.Get(), nullptr);
        ComPtr<ICounter> assigned;
        assigned = moved;
        EXPECT_EQ(c->Refs(), 3u);
        assigned = std::move(moved);
        EXPECT_EQ(c->Refs(), 2u) << "move-assigning released the old reference";
        ComPtr<ICounter>& alias = assigned;
        assigned = alias;
        EXPECT_EQ(c->Refs(), 2u) << "self-assignment";
        assigned = nullptr;
        EXPECT_EQ(c->Refs(), 1u);
    }
    EXPECT_EQ(c->Refs(), 1u);
    a.Reset();
    EXPECT_EQ(a, nullptr);
    a.Reset(); // resetting an empty holder is harmless
}

TEST_F(ComPtrTest, AssigningReleasesTheOldObject)
{
    ComPtr<ICounter> a;
    ComPtr<ICounter> b;
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(a.GetAddressOf())), S_OK);
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(b.GetAddressOf())), S_OK);
    EXPECT_EQ(Counter::live.load(), 2);
    a = b;
    EXPECT_EQ(Counter::live.load(), 1);
    EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(ComPtrTest, OutParameterSlots)
{
    ComPtr<ICounter> p;
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    Counter* first = static_cast<Counter*>(p.Get());
    EXPECT_EQ(first->Refs(), 1u) << "the factory's reference is the holder's";
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(p.ReleaseAndGetAddressOf())), S_OK);
    EXPECT_EQ(Counter::live.load(), 1) << "the first object was released";
    EXPECT_NE(p.Get(), nullptr);
}

TEST_F(ComPtrTest, DetachHandsTheReferenceOver)
{
    ComPtr<ICounter> p;
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    ICounter* raw = p.Detach();
    EXPECT_EQ(p.Get(), nullptr);
    EXPECT_EQ(static_cast<Counter*>(raw)->Refs(), 1u);
    EXPECT_EQ(raw->Release(), 0u);
}

TEST_F(ComPtrTest, AttachReleasesWhatWasHeld)
{
    ComPtr<ICounter> p;
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    Counter* second = new Counter();
    p.Attach(second);
    EXPECT_EQ(Counter::live.load(), 1);
    EXPECT_EQ(second->Refs(), 1u);
    second->AddRef();
    p.Attach(second); // a second reference to the same object: the held one is released
    EXPECT_EQ(second->Refs(), 1u);
}

TEST_F(ComPtrTest, AsQueriesForAnotherInterface)
{
    ComPtr<ICounter> p;
    ASSERT_EQ(CreateCounter(IID_ICounter, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    Counter* c = static_cast<Counter*>(p.Get());

    ComPtr<IUnknown> unknown;
    EXPECT_EQ(p.As(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(c->Refs(), 2u);
    EXPECT_EQ(p.As(IID_IUnknown, &unknown), S_OK) << "the old reference in the target is released";
    EXPECT_EQ(c->Refs(), 2u);

    EXPECT_EQ(p.As(IID_INotImplemented, &unknown), E_NOINTERFACE);
    EXPECT_EQ(unknown.Get(), nullptr);
    EXPECT_EQ(c->Refs(), 1u);

    EXPECT_EQ(p.As<IUnknown>(IID_IUnknown, nullptr), E_POINTER);
    ComPtr<ICounter> empty;
    EXPECT_EQ(empty.As(IID_IUnknown, &unknown), E_POINTER);

    EXPECT_EQ(p.As(IID_ICounter, &p), S_OK) << "querying into itself";
    EXPECT_EQ(c->Refs(), 1u);
}

} // namespace
