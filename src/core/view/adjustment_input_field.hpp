#pragma once

#include "model/photo_parameter.hpp"

#include <compare>
#include <cstddef>
#include <functional>
#include <optional>

namespace sorvin {

// The numeric text field of the browsing screen that holds the keyboard: a parameter's value field
// in the adjustment panel, or one of the crop and rotation bar's fields.
class AdjustmentInputField {
public:
    enum class Kind { parameter, customWidth, customHeight, rotation, size, x, y };

    static constexpr AdjustmentInputField parameter(PhotoParameter p) {
        return AdjustmentInputField(Kind::parameter, p);
    }
    static constexpr AdjustmentInputField customWidth() { return AdjustmentInputField(Kind::customWidth); }
    static constexpr AdjustmentInputField customHeight() { return AdjustmentInputField(Kind::customHeight); }
    static constexpr AdjustmentInputField rotation() { return AdjustmentInputField(Kind::rotation); }
    static constexpr AdjustmentInputField size() { return AdjustmentInputField(Kind::size); }
    static constexpr AdjustmentInputField x() { return AdjustmentInputField(Kind::x); }
    static constexpr AdjustmentInputField y() { return AdjustmentInputField(Kind::y); }

    constexpr Kind kind() const { return kind_; }
    // The parameter of a panel field; none for the crop bar's fields.
    constexpr std::optional<PhotoParameter> parameterValue() const {
        return kind_ == Kind::parameter ? std::optional(parameter_) : std::nullopt;
    }

    friend constexpr bool operator==(const AdjustmentInputField& a, const AdjustmentInputField& b) {
        return a.kind_ == b.kind_ && (a.kind_ != Kind::parameter || a.parameter_ == b.parameter_);
    }

private:
    constexpr explicit AdjustmentInputField(Kind kind, PhotoParameter p = PhotoParameter::exposure)
        : kind_(kind), parameter_(p) {}
    Kind kind_;
    PhotoParameter parameter_;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::AdjustmentInputField> {
    std::size_t operator()(const sorvin::AdjustmentInputField& field) const noexcept {
        const std::size_t kind = static_cast<std::size_t>(field.kind());
        const auto p = field.parameterValue();
        return p ? (kind << 8) ^ static_cast<std::size_t>(*p) : kind << 8;
    }
};
