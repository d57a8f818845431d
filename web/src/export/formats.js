// The mesh formats the page exports, as the batch tool's options name them.
export const EXPORT_FORMATS = {
  obj: { type: 'model/obj', label: 'OBJ', title: 'Wavefront OBJ' },
  ply: { type: 'application/octet-stream', label: 'PLY', title: 'PLY, binary' },
  stl: { type: 'model/stl', label: 'STL', title: 'STL, binary' },
  glb: { type: 'model/gltf-binary', label: 'GLB', title: 'glTF 2.0, binary' },
  gltf: { type: 'model/gltf+json', label: 'glTF', title: 'glTF 2.0, JSON' },
  '3mf': { type: 'model/3mf', label: '3MF', title: '3D Manufacturing Format' },
};
