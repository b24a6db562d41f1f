// PLACEHOLDER: hot-key launcher.
