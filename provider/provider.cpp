// Placeholder until the data provider lands.
namespace provider {
int Placeholder() { return 0; }
}  // namespace provider
