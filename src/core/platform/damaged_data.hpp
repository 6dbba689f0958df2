#pragma once

namespace sorvin {

// What a decoder does with a file whose header reads well but whose picture data ends early or
// cannot be decoded (a card pulled out too soon, a copy that broke off): the screen shows as much
// of the picture as could be read, the missing part filled in; an export or a copied image
// refuses the file, so that no half-grey picture is ever written as if it were the photo.
enum class DamagedData {
    filledIn,
    refused,
};

} // namespace sorvin
