// Keeps targets whose sources are all optional buildable.
