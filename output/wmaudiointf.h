// Interfaces of the WMA writer library "wmaudsdk.dll", shared by the
// program and the library's stand-in.
//
// Interface methods are numbered from 1 with the three methods of IUnknown
// (Release is the third).  The writer uses slots 4, 5, 7 and 8; slot 6 is
// not used by the program.  The attribute editor's set and get take UTF-16
// names; type 1 is a UTF-16 string with its terminator, type 0 a 32-bit
// number.
#pragma once
#include "classlib/win.h"
#include <mmsystem.h>
#include <mmreg.h>
#include <unknwn.h>

// Attribute value types.
constexpr DWORD WmaAttrDword = 0;
constexpr DWORD WmaAttrString = 1;

struct IWMAudioWriter : public IUnknown {
    // Slot 4: the PCM that Write will deliver.
    virtual HRESULT STDMETHODCALLTYPE SetInputFormat(const WAVEFORMATEX* format) = 0;
    // Slot 5: the encoded stream.
    virtual HRESULT STDMETHODCALLTYPE SetOutputFormat(DWORD bitrate, DWORD sampleRate, DWORD channels,
                                                      DWORD reserved) = 0;
    // Slot 6.
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    // Slot 7: PCM bytes in the input format.
    virtual HRESULT STDMETHODCALLTYPE WriteSamples(const BYTE* data, DWORD byteCount) = 0;
    // Slot 8: the end of the stream; the file is complete afterwards.
    virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
};

struct IWMAudioInfo : public IUnknown {
    // Slot 4: type and value of an attribute.  *length holds the buffer's
    // size on entry and the value's size on return; a null value asks for
    // the size only.
    virtual HRESULT STDMETHODCALLTYPE GetAttribute(LPCWSTR name, DWORD* type, BYTE* value, DWORD* length) = 0;
    // Slot 5: sets (or, with length 0, removes) an attribute.
    virtual HRESULT STDMETHODCALLTYPE SetAttribute(LPCWSTR name, DWORD type, const BYTE* value, DWORD length) = 0;
    // Slot 6: writes the attributes into the file.
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};
