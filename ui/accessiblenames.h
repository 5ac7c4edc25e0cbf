#pragma once

class w_list;
class w_save;

// Korean names and descriptions of every control, for screen readers (Orca through AT-SPI):
// what the control is and what its keys do.
void describeControls(w_list &window);
void describeControls(w_save &dialog);
