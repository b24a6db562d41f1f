// PLACEHOLDER: key event output.
