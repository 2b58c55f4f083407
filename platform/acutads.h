// Command-line output, result-buffer lists and status texts.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "platform/acadstrc.h"
#include "platform/adsdef.h"
#include "platform/printf.h"

// Prints text on the host's command line exactly as given (no format processing).
int acutPrintfText(const char* text);
int acutPrintfText(const char16_t* text);

// Prints printf-style formatted text on the host's command line.
template <class C, class... Args>
int acutPrintf(const C* format, const Args&... args) {
    return acutPrintfText(qv::FormatText(format, args...).c_str());
}

// The host's text for a status code ("eOk", "eInvalidInput" ...).
const char* acadErrorStatusTextA(Acad::ErrorStatus status);
const char16_t* acadErrorStatusTextW(Acad::ErrorStatus status);

// What a result buffer of a given type holds.
enum class AcutValueKind { None, Text, Real, Point, Short, Long, Int64, Name, Binary };

inline AcutValueKind acutValueKindOf(int type) {
    switch (type) {
        case RTNONE:
        case RTLB:
        case RTLE:
        case RTDOTE:
        case RTNIL:
        case RTT:
        case RTVOID:
        case -3:
            return AcutValueKind::None;
        case RTSTR:
        case RTDXF0:
        case -4:
        case -5:
            return AcutValueKind::Text;
        case RTREAL:
        case RTANG:
        case RTORINT:
            return AcutValueKind::Real;
        case RTPOINT:
        case RT3DPOINT:
            return AcutValueKind::Point;
        case RTSHORT:
            return AcutValueKind::Short;
        case RTLONG:
            return AcutValueKind::Long;
        case RTINT64:
            return AcutValueKind::Int64;
        case RTENAME:
        case RTPICKS:
        case -1:
        case -2:
            return AcutValueKind::Name;
        default:
            break;
    }
    // Group codes of drawing data.
    if ((type >= 0 && type <= 9) || (type >= 100 && type <= 109) || (type >= 300 && type <= 369) ||
        (type >= 390 && type <= 399) || (type >= 410 && type <= 419) ||
        (type >= 430 && type <= 439) || (type >= 470 && type <= 481) || type == 999 ||
        (type >= 1000 && type <= 1003) || type == 1005)
        return AcutValueKind::Text;
    if (type == 1004 || (type >= 310 && type <= 319)) return AcutValueKind::Binary;
    if ((type >= 10 && type <= 18) || (type >= 110 && type <= 112) ||
        (type >= 210 && type <= 219) || (type >= 1010 && type <= 1013))
        return AcutValueKind::Point;
    if ((type >= 38 && type <= 59) || (type >= 140 && type <= 149) ||
        (type >= 460 && type <= 469) || (type >= 1040 && type <= 1042) || (type >= 19 && type <= 37))
        return AcutValueKind::Real;
    if ((type >= 60 && type <= 79) || (type >= 170 && type <= 179) ||
        (type >= 270 && type <= 289) || (type >= 370 && type <= 389) ||
        (type >= 400 && type <= 409) || type == 1070 || (type >= 280 && type <= 289))
        return AcutValueKind::Short;
    if ((type >= 90 && type <= 99) || (type >= 420 && type <= 429) ||
        (type >= 440 && type <= 459) || type == 1071)
        return AcutValueKind::Long;
    if (type >= 160 && type <= 169) return AcutValueKind::Int64;
    return AcutValueKind::None;
}

// A new result buffer of the given type with an empty value.
template <class C>
resbufT<C>* acutNewRbT(int type) {
    auto* rb = new resbufT<C>;
    std::memset(rb, 0, sizeof *rb);
    rb->restype = static_cast<short>(type);
    return rb;
}

// Releases a whole chain, strings and binary chunks included.
template <class C>
int acutRelRbT(resbufT<C>* rb) {
    while (rb) {
        resbufT<C>* next = rb->rbnext;
        const AcutValueKind kind = acutValueKindOf(rb->restype);
        if (kind == AcutValueKind::Text) delete[] rb->resval.rstring;
        if (kind == AcutValueKind::Binary) delete[] rb->resval.rbinary.buf;
        delete rb;
        rb = next;
    }
    return RTNORM;
}

// Copies text into a new result-buffer string.
template <class C>
C* acutNewStringT(const C* text) {
    const std::size_t n = text ? std::char_traits<C>::length(text) : 0;
    C* copy = new C[n + 1];
    if (n) std::char_traits<C>::copy(copy, text, n);
    copy[n] = C(0);
    return copy;
}

// Builds a chain from (type, value) pairs ended by 0 or RTNONE. Types without a value
// (RTLB, RTLE, RTDOTE, RTNIL, RTT, -3) take no argument. Text values must be of the chain's
// width; point values are ads_point arrays; entity names ads_name arrays.
template <class C, class... Args>
resbufT<C>* acutBuildListT(const Args&... args) {
    using Item = std::variant<long long, double, const C*, const double*, const std::intptr_t*>;
    std::vector<Item> items;
    items.reserve(sizeof...(Args));
    auto add = [&items](const auto& a) {
        using A = std::decay_t<decltype(a)>;
        if constexpr (std::is_integral_v<A> || std::is_enum_v<A>) {
            items.emplace_back(static_cast<long long>(a));
        } else if constexpr (std::is_floating_point_v<A>) {
            items.emplace_back(static_cast<double>(a));
        } else if constexpr (std::is_convertible_v<A, const C*>) {
            items.emplace_back(static_cast<const C*>(a));
        } else if constexpr (std::is_convertible_v<A, const double*>) {
            items.emplace_back(static_cast<const double*>(a));
        } else if constexpr (std::is_convertible_v<A, const std::intptr_t*>) {
            items.emplace_back(static_cast<const std::intptr_t*>(a));
        } else if constexpr (requires { a.GetString(); }) {
            items.emplace_back(static_cast<const C*>(a.GetString()));
        } else {
            static_assert(sizeof(A) == 0, "value type not supported by acutBuildList");
        }
    };
    (add(args), ...);

    resbufT<C>* head = nullptr;
    resbufT<C>* tail = nullptr;
    auto number = [](const Item& it) -> double {
        if (auto p = std::get_if<long long>(&it)) return static_cast<double>(*p);
        if (auto p = std::get_if<double>(&it)) return *p;
        return 0;
    };
    for (std::size_t i = 0; i < items.size();) {
        const long long* typeArg = std::get_if<long long>(&items[i]);
        if (!typeArg) break;  // malformed list: a value where a type belongs
        const int type = static_cast<int>(*typeArg);
        ++i;
        if (type == 0 && i >= items.size()) break;  // the terminating 0
        if (type == RTNONE) break;
        // RTDXF0 stands for group code 0, which would otherwise end the list.
        resbufT<C>* rb = acutNewRbT<C>(type == RTDXF0 ? 0 : type);
        const AcutValueKind kind = acutValueKindOf(type);
        if (kind != AcutValueKind::None) {
            if (i >= items.size()) {
                acutRelRbT(rb);
                break;
            }
            const Item& v = items[i++];
            switch (kind) {
                case AcutValueKind::Text: {
                    auto p = std::get_if<const C*>(&v);
                    rb->resval.rstring = acutNewStringT<C>(p ? *p : nullptr);
                    break;
                }
                case AcutValueKind::Real: rb->resval.rreal = number(v); break;
                case AcutValueKind::Short: rb->resval.rint = static_cast<short>(number(v)); break;
                case AcutValueKind::Long:
                    rb->resval.rlong = static_cast<std::int32_t>(number(v));
                    break;
                case AcutValueKind::Int64:
                    rb->resval.mnInt64 = static_cast<std::int64_t>(number(v));
                    break;
                case AcutValueKind::Point:
                    if (auto p = std::get_if<const double*>(&v)) {
                        for (int k = 0; k < 3; ++k) rb->resval.rpoint[k] = (*p)[k];
                    }
                    break;
                case AcutValueKind::Name:
                    if (auto p = std::get_if<const std::intptr_t*>(&v)) {
                        rb->resval.rlname[0] = (*p)[0];
                        rb->resval.rlname[1] = (*p)[1];
                    }
                    break;
                default: break;
            }
        }
        if (tail) {
            tail->rbnext = rb;
        } else {
            head = rb;
        }
        tail = rb;
    }
    return head;
}

#if defined(QUARVEL_MODULE)
inline resbuf* acutNewRb(int type) { return acutNewRbT<TCHAR>(type); }
inline int acutRelRb(resbuf* rb) { return acutRelRbT<TCHAR>(rb); }
template <class... Args>
resbuf* acutBuildList(const Args&... args) {
    return acutBuildListT<TCHAR>(args...);
}
inline const TCHAR* acadErrorStatusText(Acad::ErrorStatus status) {
#if defined(_UNICODE)
    return acadErrorStatusTextW(status);
#else
    return acadErrorStatusTextA(status);
#endif
}
#endif
