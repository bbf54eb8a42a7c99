#pragma once
// The outputs are made from the browser's list. When that list lacks pictures of its folder (a
// catalog that did not load whole, entries it could not show), each output says so before it starts,
// naming them, so that what it makes holds no unexplained gaps.

class FrameContext;

namespace leftoutnotice {

// Tells the user what the list lacks; nothing when it holds everything.
void tell(FrameContext& frame);

}  // namespace leftoutnotice
