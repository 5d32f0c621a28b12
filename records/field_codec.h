#pragma once
// The conversions of one field between a record image and a typed value, by the field's layout
// (records/layouts.h), and the binding of a record class's members to its layout. Every record
// class packs and unpacks through these; a class adds only what is particular to it.
//
// A failing conversion raises (as the engine does); the class's step runner skips the field.
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/dates.h"
#include "platform/currency.h"
#include "records/layouts.h"

namespace zel::records {

// A typed field value to convert into or out of.
using FieldRef = std::variant<std::int32_t*, std::int16_t*, platform::Currency*, engine::DateTime*,
                              std::string*, std::vector<std::string>*>;

// A class member named as its layout field.
template <class C>
struct Binding {
    std::string_view name;
    std::variant<std::int32_t C::*, std::int16_t C::*, platform::Currency C::*,
                 engine::DateTime C::*, std::string C::*, std::vector<std::string> C::*>
        member;

    FieldRef Of(C& object) const {
        return std::visit([&](auto m) -> FieldRef { return &(object.*m); }, member);
    }
};

// True when the bindings name the layout's fields, one each, in the layout's order.
template <class C, std::size_t N>
constexpr bool BindsLayout(const RecordLayout& layout, const Binding<C> (&bindings)[N]) {
    if (layout.fields.size() != N) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (layout.fields[i].name != bindings[i].name) return false;
    return true;
}

// Image to value. `plus` is the value of the field's `plus` partner, when it has one.
void UnpackField(const FieldLayout& field, FieldRef value, const std::string& image,
                 FieldRef plus = FieldRef{});
// Value to image; writes only inside the image and never changes its length.
void PackField(const FieldLayout& field, FieldRef value, std::string& image,
               FieldRef plus = FieldRef{});

// Runs one conversion step; a step that fails is passed over.
template <class F>
void Step(F&& step) noexcept {
    try {
        step();
    } catch (const std::exception&) {
        // One damaged field must not cost the record its other fields.
    }
}

// Unpacks / packs the fields [from, to) of a bound class in layout order, each as its own
// step. Derived and not-stored fields are left to the class.
template <class C, std::size_t N>
void UnpackRange(C& object, const RecordLayout& layout, const Binding<C> (&bindings)[N],
                 const std::string& image, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < N; ++i) {
        const FieldLayout& f = layout.fields[i];
        if (f.kind == FieldKind::Derived || f.kind == FieldKind::NotStored) continue;
        Step([&] {
            FieldRef plus{};
            if (!f.plus.empty())
                plus = bindings[static_cast<std::size_t>(layout.IndexOf(f.plus))].Of(object);
            UnpackField(f, bindings[i].Of(object), image, plus);
        });
    }
}

template <class C, std::size_t N>
void PackRange(C& object, const RecordLayout& layout, const Binding<C> (&bindings)[N],
               std::string& image, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < N; ++i) {
        const FieldLayout& f = layout.fields[i];
        if (!f.packed) continue;
        Step([&] {
            FieldRef plus{};
            if (!f.plus.empty())
                plus = bindings[static_cast<std::size_t>(layout.IndexOf(f.plus))].Of(object);
            PackField(f, bindings[i].Of(object), image, plus);
        });
    }
}

// Switches the head of the program-wide compressed-text alphabet.
void SetAlphabetHead(std::string_view head);

}  // namespace zel::records
