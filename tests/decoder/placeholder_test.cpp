// Placeholder so the decoder test programs build before their tests exist.
